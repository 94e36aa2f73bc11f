#pragma once

#include <QMainWindow>
#include <QSize>

namespace Ui {
class MainWindow;
}
class QTimer;
class TabOverviewGraphs;
class TabOverviewSysInfo;
class TabApplications;
class TabProcesses;
class TabServices;
class TabCronJobs;
class TabNetworkingBandwidthMonitor;
class TabNetworkingPacketSniffer;
class TabNetworkingWireless;
class TabUsers;
class TabLogs;
class DialogNewTask;
class DialogAbout;

// The program's only top-level window: builds the form, creates one handler
// per tab and routes tab changes to the periodic work each tab needs.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // When the window opens, only the Overview is shown: the program builds
    // the other tabs' handlers and the dialogs, and starts the tools of the
    // system-information panel, once the window has been painted, so that it
    // appears sooner. AllTabsNow does all of it in the constructor.
    enum class TabCreation { AllTabsNow, OtherTabsAfterFirstPaint };

    explicit MainWindow(QWidget* parent = nullptr, TabCreation creation = TabCreation::AllTabsNow);
    ~MainWindow() override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    Ui::MainWindow* form() const { return ui; }

    // Asks the window manager to keep the window above others (or not).
    // Returns false when the request could not be sent.
    bool setKeepOnTop(bool on);

    // Shows the window again when a second start asks for it: restored from
    // minimised, raised and activated.
    void bringToFront();

    // Builds the handlers and dialogs not built yet; nothing when all exist.
    void createRemainingTabs();
    bool allTabsCreated() const { return tabLogs != nullptr; }

signals:
    void themeChanged();
    void windowResized(const QSize& newSize);
    void requestUpdateApplicationsTable();
    void requestUpdateProcessesTable();
    void requestInitializeLogs();
    void requestStopTabBandwidthMonitorTimer();
    void requestStopTabWirelessTimer();
    void requestStartTabBandwidthMonitorTimer();
    void requestStartTabWirelessTimer();

public slots:
    void onTabMainChanged(int index);
    void onTabNetworkingChanged(int index);
    void updateTabApplications();
    void updateTabProcesses();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // What the window does for one page of tabWidgetMainTabs: builds its
    // handlers, starts its periodic work when it is shown and stops that
    // work when another page is. Each step may be null.
    struct TabRoute {
        // As the debug line of a switch names the page.
        const char* name;
        void (*create)(MainWindow& window);
        void (*shown)(MainWindow& window);
        void (*hidden)(MainWindow& window);
    };
    // One per page, in the order of the pages; the handlers are built in
    // this order too.
    static const TabRoute tabRoutes[];

    void setupViewMenu();
    void onKeepOnTopTriggered(bool on);
    void loadStaticSystemInfoOnce();

    bool createTabsAfterFirstPaint = false;
    bool staticSystemInfoRequested = false;

    Ui::MainWindow* ui;
    TabOverviewGraphs* tabOverviewGraphs = nullptr;
    TabOverviewSysInfo* tabOverviewSysInfo = nullptr;
    TabApplications* tabApplications = nullptr;
    TabProcesses* tabProcesses = nullptr;
    TabServices* tabServices = nullptr;
    TabCronJobs* tabCronJobs = nullptr;
    TabNetworkingBandwidthMonitor* tabNetworkingBandwidthMonitor = nullptr;
    TabNetworkingPacketSniffer* tabNetworkingPacketSniffer = nullptr;
    TabNetworkingWireless* tabNetworkingWireless = nullptr;
    TabUsers* tabUsers = nullptr;
    TabLogs* tabLogs = nullptr;
    QTimer* applicationsTimer = nullptr;
    QTimer* processesTimer = nullptr;
    DialogNewTask* dialogNewTask = nullptr;
    DialogAbout* dialogAbout = nullptr;
};
