#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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
