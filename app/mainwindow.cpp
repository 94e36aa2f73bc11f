#include "mainwindow.h"

#include "cronjobcounting.h"
#include "dialogabout.h"
#include "dialognewtask.h"
#include "startup.h"
#include "tabapplications.h"
#include "tabcronjobs.h"
#include "tablogs.h"
#include "tabnetworkingbandwidthmonitor.h"
#include "tabnetworkingpacketsniffer.h"
#include "tabnetworkingwireless.h"
#include "taboverviewgraphs.h"
#include "taboverviewsysinfo.h"
#include "tabprocesses.h"
#include "tabservices.h"
#include "tabusers.h"
#include "ui_mainwindow.h"
#include "workerusers.h"

#include <QActionGroup>
#include <QLabel>
#include <QLoggingCategory>
#include <QResizeEvent>
#include <QTabBar>
#include <QTimer>

#include <iterator>
#include <type_traits>
#include <utility>

Q_LOGGING_CATEGORY(lcWindow, "tessmar.window", QtWarningMsg)

namespace {
enum MainTab {
    OverviewTab = 0,
    ApplicationsTab = 1,
    ProcessesTab = 2,
    ServicesTab = 3,
    CronJobsTab = 4,
    NetworkingTab = 5,
    UsersTab = 6,
    LogsTab = 7,
    MainTabCount
};

// Tabs whose views have colours of their own follow the desktop's theme.
template <typename Tab, typename = void> struct FollowsTheme : std::false_type {};
template <typename Tab>
struct FollowsTheme<Tab, std::void_t<decltype(&Tab::onThemeChanged)>> : std::true_type {};

template <typename Tab, typename... Args>
Tab* createTab(Ui::MainWindow* ui, MainWindow* window, Args&&... args) {
    auto* tab = new Tab(ui, window, std::forward<Args>(args)...);
    tab->setAttribute(Qt::WA_TransparentForMouseEvents);
    if constexpr (FollowsTheme<Tab>::value)
        QObject::connect(window, &MainWindow::themeChanged, tab, &Tab::onThemeChanged);
    return tab;
}
} // namespace

const MainWindow::TabRoute MainWindow::tabRoutes[] = {
    // The Overview is built by the constructor; its graphs run on their own.
    {"Overview", nullptr, nullptr, nullptr},
    {"Applications",
     [](MainWindow& w) {
         w.tabApplications = createTab<TabApplications>(w.ui, &w);
         w.tabApplications->setupApplicationTable();
         connect(&w, &MainWindow::requestUpdateApplicationsTable, w.tabApplications,
                 &TabApplications::updateApplicationTable, Qt::QueuedConnection);
         connect(w.applicationsTimer, &QTimer::timeout, &w, &MainWindow::updateTabApplications);
     },
     [](MainWindow& w) {
         emit w.requestUpdateApplicationsTable();
         w.applicationsTimer->start(2000);
     },
     [](MainWindow& w) { w.applicationsTimer->stop(); }},
    {"Processes",
     [](MainWindow& w) {
         w.tabProcesses = createTab<TabProcesses>(w.ui, &w);
         connect(&w, &MainWindow::requestUpdateProcessesTable, w.tabProcesses,
                 &TabProcesses::updateProcessesTable, Qt::QueuedConnection);
         connect(w.processesTimer, &QTimer::timeout, &w, &MainWindow::updateTabProcesses);
     },
     [](MainWindow& w) {
         emit w.requestUpdateProcessesTable();
         w.processesTimer->start(3000);
     },
     [](MainWindow& w) { w.processesTimer->stop(); }},
    {"Services", [](MainWindow& w) { w.tabServices = createTab<TabServices>(w.ui, &w); }, nullptr, nullptr},
    {"Cron Jobs", [](MainWindow& w) { w.tabCronJobs = createTab<TabCronJobs>(w.ui, &w); }, nullptr, nullptr},
    {"Networking",
     [](MainWindow& w) {
         auto* bandwidth = createTab<TabNetworkingBandwidthMonitor>(w.ui, &w);
         w.tabNetworkingBandwidthMonitor = bandwidth;
         connect(&w, &MainWindow::windowResized, bandwidth,
                 &TabNetworkingBandwidthMonitor::handleWindowResized);
         connect(&w, &MainWindow::requestStartTabBandwidthMonitorTimer, bandwidth,
                 &TabNetworkingBandwidthMonitor::startTimer);
         connect(&w, &MainWindow::requestStopTabBandwidthMonitorTimer, bandwidth,
                 &TabNetworkingBandwidthMonitor::stopTimer);

         auto* sniffer = createTab<TabNetworkingPacketSniffer>(w.ui, &w);
         w.tabNetworkingPacketSniffer = sniffer;
         connect(&w, &MainWindow::windowResized, sniffer, &TabNetworkingPacketSniffer::handleWindowResized);

         auto* wireless = createTab<TabNetworkingWireless>(w.ui, &w);
         w.tabNetworkingWireless = wireless;
         connect(&w, &MainWindow::requestStartTabWirelessTimer, wireless, &TabNetworkingWireless::startTimer);
         connect(&w, &MainWindow::requestStopTabWirelessTimer, wireless, &TabNetworkingWireless::stopTimer);

         // Built after the window took its size: they lay their pages out for it now.
         if (w.isVisible()) {
             bandwidth->handleWindowResized(w.size());
             sniffer->handleWindowResized(w.size());
         }
     },
     [](MainWindow& w) {
         emit w.requestStartTabBandwidthMonitorTimer();
         emit w.requestStartTabWirelessTimer();
         qCDebug(lcWindow) << "Current networking tab is " << w.ui->tabWidgetNetworkingTabs->currentIndex();
     },
     [](MainWindow& w) {
         emit w.requestStopTabBandwidthMonitorTimer();
         emit w.requestStopTabWirelessTimer();
     }},
    {"Users", [](MainWindow& w) { w.tabUsers = createTab<TabUsers>(w.ui, &w); }, nullptr, nullptr},
    {"Logs",
     [](MainWindow& w) {
         w.tabLogs = createTab<TabLogs>(w.ui, &w);
         connect(&w, &MainWindow::requestInitializeLogs, w.tabLogs, &TabLogs::initializeLogs);
     },
     [](MainWindow& w) { emit w.requestInitializeLogs(); }, nullptr},
};

MainWindow::MainWindow(QWidget* parent, TabCreation creation) : QMainWindow(parent), ui(new Ui::MainWindow) {
    ui->setupUi(this);
    installEventFilter(this);

    {
        // Also makes the invoking user's settings file on the first run.
        WorkerUsers securityReader;
        const int securityLevel = WorkerUsers::getSudoUserSecurityLevel();
        qCDebug(lcWindow) << "Our security level: " << securityLevel;
    }

    connect(ui->tabWidgetMainTabs, &QTabWidget::currentChanged, this, &MainWindow::onTabMainChanged);
    connect(ui->tabWidgetNetworkingTabs, &QTabWidget::currentChanged, this,
            &MainWindow::onTabNetworkingChanged);
    const int startTab = ui->tabWidgetMainTabs->currentIndex();

    tabOverviewGraphs = createTab<TabOverviewGraphs>(ui, this);
    connect(this, &MainWindow::windowResized, tabOverviewGraphs, &TabOverviewGraphs::handleResizeEvent);
    tabOverviewGraphs->setupGraphs();

    // The Overview counts the scheduled jobs the way the Cron Jobs page reads them.
    tabOverviewSysInfo = createTab<TabOverviewSysInfo>(ui, this, cronPageCounting());
    // The static facts run tools (lspci, glxinfo...): not while the window
    // is being put on the screen.
    if (creation == TabCreation::AllTabsNow)
        loadStaticSystemInfoOnce();

    applicationsTimer = new QTimer(this);
    applicationsTimer->setObjectName(QStringLiteral("applicationsTimer"));
    applicationsTimer->setInterval(2000);
    processesTimer = new QTimer(this);
    processesTimer->setObjectName(QStringLiteral("processesTimer"));
    processesTimer->setInterval(3000);
    if (creation == TabCreation::AllTabsNow || startTab != OverviewTab)
        createRemainingTabs();
    else
        createTabsAfterFirstPaint = true;

    qCDebug(lcWindow) << "Tab open at app start:" << startTab;

    connect(ui->actionKeep_On_Top, &QAction::triggered, this, &MainWindow::onKeepOnTopTriggered);
    setupViewMenu();
    connect(ui->actionQuit, &QAction::triggered, qApp, &requestQuit);

    onTabMainChanged(startTab);
}

// The graph colours and the graph update speed, each a group of exclusive choices.
void MainWindow::setupViewMenu() {
    ui->actionAperture->setChecked(true);
    auto* colorGroup = new QActionGroup(this);
    colorGroup->setExclusive(true);
    colorGroup->addAction(ui->actionAperture);
    colorGroup->addAction(ui->actionGreen);
    connect(ui->actionAperture, &QAction::triggered, this,
            [this] { tabOverviewGraphs->setColorTheme(QStringLiteral("aperture")); });
    connect(ui->actionGreen, &QAction::triggered, this,
            [this] { tabOverviewGraphs->setColorTheme(QStringLiteral("green")); });

    ui->actionMedium->setChecked(true);
    auto* speedGroup = new QActionGroup(this);
    speedGroup->setExclusive(true);
    const std::pair<QAction*, QString> speeds[] = {
        {ui->actionPaused, QStringLiteral("paused")},
        {ui->actionSlow, QStringLiteral("slow")},
        {ui->actionMedium, QStringLiteral("medium")},
        {ui->actionFast, QStringLiteral("fast")},
    };
    for (const auto& [action, speed] : speeds) {
        speedGroup->addAction(action);
        const QString name = speed;
        connect(action, &QAction::triggered, this, [this, name] { tabOverviewGraphs->setUpdateSpeed(name); });
    }
    tabOverviewGraphs->setUpdateSpeed(QStringLiteral("medium"));
}

MainWindow::~MainWindow() {
    // Tab handlers stop their worker threads as they are destroyed; they
    // borrow the form, so they go first, the packet capture before the rest.
    delete tabNetworkingPacketSniffer;
    delete tabLogs;
    delete tabUsers;
    delete tabNetworkingWireless;
    delete tabNetworkingBandwidthMonitor;
    delete tabCronJobs;
    delete tabServices;
    delete tabProcesses;
    delete tabApplications;
    delete tabOverviewSysInfo;
    delete tabOverviewGraphs;
    delete ui;
}

void MainWindow::createRemainingTabs() {
    if (allTabsCreated())
        return;
    createTabsAfterFirstPaint = false;
    loadStaticSystemInfoOnce();

    // No menu of the window can be opened before its first paint.
    dialogNewTask = new DialogNewTask(this);
    dialogAbout = new DialogAbout(this);
    connect(ui->actionNew_Task, &QAction::triggered, dialogNewTask, &QDialog::exec);
    connect(ui->pushButtonNewTask, &QPushButton::clicked, dialogNewTask, &QDialog::exec);
    connect(ui->actionAbout, &QAction::triggered, dialogAbout, &QDialog::exec);

    for (const TabRoute& route : tabRoutes) {
        if (route.create)
            route.create(*this);
    }
}

void MainWindow::loadStaticSystemInfoOnce() {
    if (staticSystemInfoRequested)
        return;
    staticSystemInfoRequested = true;
    tabOverviewSysInfo->loadStaticSystemInfo();
}

void MainWindow::onTabMainChanged(int index) {
    static_assert(std::size(tabRoutes) == MainTabCount, "one route per page");
    if (index != OverviewTab)
        createRemainingTabs();
    for (const TabRoute& route : tabRoutes) {
        if (route.hidden)
            route.hidden(*this);
    }
    if (index < 0 || index >= MainTabCount)
        return;
    const TabRoute& route = tabRoutes[index];
    qCDebug(lcWindow).noquote()
        << QStringLiteral("Tab %1 (%2) opened").arg(QLatin1String(route.name)).arg(index + 1);
    if (route.shown)
        route.shown(*this);
}

void MainWindow::bringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::onTabNetworkingChanged(int index) {
    qCDebug(lcWindow) << "Tab Networking switched to tab " << index;
}

void MainWindow::updateTabApplications() {
    emit requestUpdateApplicationsTable();
}

void MainWindow::updateTabProcesses() {
    emit requestUpdateProcessesTable();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    emit windowResized(event->size());
    QTabWidget* networkingTabs = ui->tabWidgetNetworkingTabs;
    const QSize pageSize = networkingTabs->size() - QSize(0, networkingTabs->tabBar()->geometry().height());
    for (int i = 0; i < networkingTabs->count(); ++i) {
        if (QWidget* page = networkingTabs->widget(i)) {
            page->resize(pageSize);
            page->update();
        }
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::Paint && createTabsAfterFirstPaint) {
        // After this paint has reached the screen.
        createTabsAfterFirstPaint = false;
        QTimer::singleShot(0, this, &MainWindow::createRemainingTabs);
    }
    if (event->type() == QEvent::Resize) {
        if (auto* widget = qobject_cast<QWidget*>(watched)) {
            if (auto* placeholder = widget->findChild<QLabel*>(QStringLiteral("placeholderLabel")))
                placeholder->setGeometry(widget->rect());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::onKeepOnTopTriggered(bool on) {
    if (!setKeepOnTop(on)) {
        // The request never reached the window manager: show the state
        // the window is really in.
        const QSignalBlocker blocker(ui->actionKeep_On_Top);
        ui->actionKeep_On_Top->setChecked(!on);
    }
}
