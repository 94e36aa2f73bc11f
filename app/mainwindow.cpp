#include "mainwindow.h"

#include "dialogabout.h"
#include "dialognewtask.h"
#include "resourceloader.h"
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

bool showGeometryDebug = false;

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
};

template <typename Tab> Tab* createTab(Ui::MainWindow* ui, MainWindow* window) {
    auto* tab = new Tab(ui, window);
    tab->setAttribute(Qt::WA_TransparentForMouseEvents);
    return tab;
}
} // namespace

MainWindow::MainWindow(QWidget* parent, TabCreation creation) : QMainWindow(parent), ui(new Ui::MainWindow) {
    loadProgramResources();
    ui->setupUi(this);
    installEventFilter(this);

    {
        // Also makes the invoking user's settings file on the first run.
        WorkerUsers securityReader;
        const int securityLevel = WorkerUsers::getSudoUserSecurityLevel();
        qCDebug(lcWindow) << "Our security level: " << securityLevel;
    }

    showGeometryDebug = false;

    connect(ui->tabWidgetMainTabs, &QTabWidget::currentChanged, this, &MainWindow::onTabMainChanged);
    connect(ui->tabWidgetNetworkingTabs, &QTabWidget::currentChanged, this,
            &MainWindow::onTabNetworkingChanged);
    const int startTab = ui->tabWidgetMainTabs->currentIndex();

    tabOverviewGraphs = createTab<TabOverviewGraphs>(ui, this);
    connect(this, &MainWindow::windowResized, tabOverviewGraphs, &TabOverviewGraphs::handleResizeEvent);
    tabOverviewGraphs->setupGraphs();

    tabOverviewSysInfo = createTab<TabOverviewSysInfo>(ui, this);
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

    connect(ui->actionQuit, &QAction::triggered, qApp, &requestQuit);

    onTabMainChanged(startTab);

    if (showGeometryDebug) {
        qCDebug(lcWindow) << "OverviewTabHandler geometry:" << tabOverviewGraphs->geometry();
        qCDebug(lcWindow) << "MenuBar geometry:" << menuBar()->geometry();
    }
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

    tabApplications = createTab<TabApplications>(ui, this);
    tabApplications->setupApplicationTable();

    tabProcesses = createTab<TabProcesses>(ui, this);
    tabServices = createTab<TabServices>(ui, this);
    tabCronJobs = createTab<TabCronJobs>(ui, this);

    tabNetworkingBandwidthMonitor = createTab<TabNetworkingBandwidthMonitor>(ui, this);
    connect(this, &MainWindow::windowResized, tabNetworkingBandwidthMonitor,
            &TabNetworkingBandwidthMonitor::handleWindowResized);
    connect(this, &MainWindow::requestStartTabBandwidthMonitorTimer, tabNetworkingBandwidthMonitor,
            &TabNetworkingBandwidthMonitor::startTimer);
    connect(this, &MainWindow::requestStopTabBandwidthMonitorTimer, tabNetworkingBandwidthMonitor,
            &TabNetworkingBandwidthMonitor::stopTimer);

    tabNetworkingPacketSniffer = createTab<TabNetworkingPacketSniffer>(ui, this);
    connect(this, &MainWindow::windowResized, tabNetworkingPacketSniffer,
            &TabNetworkingPacketSniffer::handleWindowResized);

    tabNetworkingWireless = createTab<TabNetworkingWireless>(ui, this);
    connect(this, &MainWindow::requestStartTabWirelessTimer, tabNetworkingWireless,
            &TabNetworkingWireless::startTimer);
    connect(this, &MainWindow::requestStopTabWirelessTimer, tabNetworkingWireless,
            &TabNetworkingWireless::stopTimer);

    tabUsers = createTab<TabUsers>(ui, this);

    tabLogs = createTab<TabLogs>(ui, this);
    connect(this, &MainWindow::requestInitializeLogs, tabLogs, &TabLogs::initializeLogs);

    connect(this, &MainWindow::requestUpdateApplicationsTable, tabApplications,
            &TabApplications::updateApplicationTable, Qt::QueuedConnection);
    connect(applicationsTimer, &QTimer::timeout, this, &MainWindow::updateTabApplications);

    connect(this, &MainWindow::requestUpdateProcessesTable, tabProcesses, &TabProcesses::updateProcessesTable,
            Qt::QueuedConnection);
    connect(processesTimer, &QTimer::timeout, this, &MainWindow::updateTabProcesses);

    // Built after the window took its size: they lay their pages out for it now.
    if (isVisible()) {
        tabNetworkingBandwidthMonitor->handleWindowResized(size());
        tabNetworkingPacketSniffer->handleWindowResized(size());
    }
}

void MainWindow::loadStaticSystemInfoOnce() {
    if (staticSystemInfoRequested)
        return;
    staticSystemInfoRequested = true;
    tabOverviewSysInfo->loadStaticSystemInfo();
}

void MainWindow::onTabMainChanged(int index) {
    if (index != OverviewTab)
        createRemainingTabs();
    if (applicationsTimer->isActive())
        applicationsTimer->stop();
    if (processesTimer->isActive())
        processesTimer->stop();
    emit requestStopTabBandwidthMonitorTimer();
    emit requestStopTabWirelessTimer();

    switch (index) {
    case OverviewTab:
        qCDebug(lcWindow) << "Tab Overview (1) opened";
        break;
    case ApplicationsTab:
        qCDebug(lcWindow) << "Tab Applications (2) opened";
        emit requestUpdateApplicationsTable();
        applicationsTimer->start(2000);
        break;
    case ProcessesTab:
        emit requestUpdateProcessesTable();
        processesTimer->start(3000);
        qCDebug(lcWindow) << "Tab Processes (3) opened";
        break;
    case ServicesTab:
        qCDebug(lcWindow) << "Tab Services (4) opened";
        break;
    case CronJobsTab:
        qCDebug(lcWindow) << "Tab Cron Jobs (5) opened";
        break;
    case NetworkingTab:
        emit requestStartTabBandwidthMonitorTimer();
        emit requestStartTabWirelessTimer();
        qCDebug(lcWindow) << "Tab Networking (6) opened";
        qCDebug(lcWindow) << "Current networking tab is " << ui->tabWidgetNetworkingTabs->currentIndex();
        break;
    case UsersTab:
        qCDebug(lcWindow) << "Tab Users (7) opened";
        break;
    case LogsTab:
        qCDebug(lcWindow) << "Tab Logs (8) opened";
        emit requestInitializeLogs();
        break;
    default:
        break;
    }
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
