#pragma once

#include "detailsapplicationwindow.h"
#include "tickgate.h"
#include "windowiconresolver.h"
#include "x11windowreader.h"

#include <QByteArray>
#include <QList>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

// The Applications tab: the open top-level windows of the desktop with their
// icons; switches to or closes the selected one. wmctrl runs on a worker
// thread; the window properties are read on the GUI thread (Qt's X
// connection), all windows in one round trip.
class TabApplications : public QWidget {
    Q_OBJECT
public:
    TabApplications(Ui::MainWindow* ui, QWidget* parent);
    ~TabApplications() override;

    void setupApplicationTable();

    // The listed windows with their icons, from wmctrl's output.
    QList<DetailsApplicationWindow> listWindows(const QByteArray& wmctrlOutput);

    // The window's own icon (_NET_WM_ICON); null when it has none usable.
    QIcon getWindowIcon(unsigned long windowId);
    // The owner's process id (_NET_WM_PID), 0 when unknown.
    int getWindowPid(const QString& windowId);
    // The instance name of the window's class, empty when unknown.
    QString getWindowClass(const QString& windowId);

public slots:
    void updateApplicationTable();
    // Shows the windows of one wmctrl listing and opens the gate for the next.
    void onWindowListRead(const QByteArray& output);

signals:
    void requestWindowList();
    void requestWindowCommand(const QString& action, const QString& id);
    // After every refill of the table.
    void applicationTableFilled();

private:
    void fillTable(const QList<DetailsApplicationWindow>& windows);
    void onSelectionChanged();
    void closeSelectedWindow();
    void switchToSelectedWindow();
    QString currentWindowId() const;

    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
    X11WindowReader windowReader;
    WindowIconResolver iconResolver;
    // Open from a request until its list is shown: ticks that fall due
    // meanwhile are skipped.
    TickGate listingGate;
};
