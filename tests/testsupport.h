#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariant>

class QObject;
class QWidget;

// Helpers shared by the tests: running the real program, and waiting on X.
namespace TestSupport {

QString programPath();
QString testDataPath(const QString& relative);

// A unique name for throwaway accounts, files and sockets.
QString uniqueName(const QString& prefix);

// Polls condition every 20 ms up to timeoutMs, processing events meanwhile.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 10000);

// The X window ids whose title is exactly title (via wmctrl).
QStringList windowIdsWithTitle(const QString& title);

// Reading the state of a form's objects, for the tests that hold a form to its contract.
// readState gives a Qt property (enums and flags as int) or one of these pseudo properties:
//   hheader.P, vheader.P    property P of a table's header ("hidden" for its visibility)
//   tab.N, page.N, header.N caption or page name of a tab; caption of a tree column
//   margin.left|right|top|bottom, sizePolicy.h|v, font.bold|family
//   layout, parent          object name of a widget's layout, of an object's parent
//   containedIn, gridCell   "layout:index" and "grid:row,column" of the layout holding a widget
//   items, stretches        a box layout's item names ("spacer" for spacers) and stretch factors
//   direction, actions, children (of a splitter), headerItems (set header items of a table)
//   shownTitle, mnemonic    a title as shown (without '&' markers) and its shortcut
//   cursor, windowIconLoaded, iconLoaded, statusBar
// An unknown name gives an invalid QVariant.
QVariant readState(QObject* object, const QString& property);
// The page of a tab widget that holds widget, empty outside any.
QString pageOf(QWidget* widget);
// Compares as text or as a number where expected is one; exactly otherwise.
bool sameState(const QVariant& actual, const QVariant& expected);
// A state value as text for failure messages.
QString describe(const QVariant& value);

} // namespace TestSupport

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <typename Condition> bool TestSupport::waitFor(Condition condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}
