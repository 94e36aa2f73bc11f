#include "dialogabout.h"
#include "mainwindow.h"
#include "standinmachine.h"
#include "startup.h"
#include "systempaths.h"
#include "tablogs.h"
#include "tabnetworkingbandwidthmonitor.h"
#include "taboverviewgraphs.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QLoggingCategory>
#include <QtTest>

namespace {
// Before main starts: the Networking pages see a loopback of the test's own.
const bool ownNetwork = TestSupport::isolateNetwork();

QStringList switchMessages;

void recordSwitchMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg && message.startsWith(QLatin1String("Switched to ")))
        switchMessages << message;
}

// _NET_WM_STATE of a window as xprop reports it.
QString netWmState(WId id) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(id), "_NET_WM_STATE"});
    xprop.waitForFinished(5000);
    return QString::fromUtf8(xprop.readAllStandardOutput());
}
} // namespace

// The main window: tab routing of periodic work and the Logs and Networking
// handlers it drives, Keep On Top and the About dialog, on a real X display
// with a window manager, on a machine of the test's own.
class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<StandInMachine> machine;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow* ui = nullptr;
    QTimer* applicationsTimer = nullptr;
    QTimer* processesTimer = nullptr;

private slots:
    void initTestCase() {
        QVERIFY(ownNetwork);
        qunsetenv("SUDO_USER"); // no settings file for a real user
        machine = std::make_unique<StandInMachine>();
        QVERIFY(machine->isValid());
        registerSharedMetaTypes();
        QLoggingCategory::setFilterRules(QStringLiteral("tessmar.bandwidth.debug=true"));
    }

    void init() {
        window = std::make_unique<MainWindow>();
        ui = window->form();
        applicationsTimer = window->findChild<QTimer*>("applicationsTimer");
        processesTimer = window->findChild<QTimer*>("processesTimer");
        QVERIFY(applicationsTimer && processesTimer);
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }
    void cleanupTestCase() { machine.reset(); }

    // The invoking user's settings file is made when the window starts,
    // whatever the debug output.
    void startMakesTheInvokingUsersSettings() {
        QLoggingCategory::setFilterRules(QStringLiteral("tessmar.*.debug=false"));
        qputenv("SUDO_USER", "alice");
        const auto restore = qScopeGuard([] {
            qunsetenv("SUDO_USER");
            QLoggingCategory::setFilterRules(QStringLiteral("tessmar.bandwidth.debug=true"));
        });
        const QString settings = machine->path("/root/.tessmar/settings_alice");
        QVERIFY(!QFileInfo::exists(settings));
        MainWindow started;
        QFile file(settings);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("security_level=2\n"));
    }

    // The resources live in a static library the window must load itself.
    void windowIconIsLoaded() { QVERIFY(!window->windowIcon().pixmap(32).isNull()); }

    void routingStartsAndStopsPeriodicWork_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("applicationsRunning");
        QTest::addColumn<bool>("processesRunning");
        QTest::addColumn<int>("applicationsRequests");
        QTest::addColumn<int>("processesRequests");
        QTest::addColumn<int>("networkingStarts");
        QTest::newRow("Overview") << 0 << false << false << 0 << 0 << 0;
        QTest::newRow("Applications") << 1 << true << false << 1 << 0 << 0;
        QTest::newRow("Processes") << 2 << false << true << 0 << 1 << 0;
        QTest::newRow("Networking") << 5 << false << false << 0 << 0 << 1;
        QTest::newRow("Logs") << 7 << false << false << 0 << 0 << 0;
    }
    void routingStartsAndStopsPeriodicWork() {
        QFETCH(int, index);
        QFETCH(bool, applicationsRunning);
        QFETCH(bool, processesRunning);
        QFETCH(int, applicationsRequests);
        QFETCH(int, processesRequests);
        QFETCH(int, networkingStarts);

        // Come from a tab whose work runs, so that stopping is seen too.
        ui->tabWidgetMainTabs->setCurrentIndex(index == 1 ? 2 : 1);
        QVERIFY(applicationsTimer->isActive() || processesTimer->isActive());

        QSignalSpy applications(window.get(), &MainWindow::requestUpdateApplicationsTable);
        QSignalSpy processes(window.get(), &MainWindow::requestUpdateProcessesTable);
        QSignalSpy stopWireless(window.get(), &MainWindow::requestStopTabWirelessTimer);
        QSignalSpy startWireless(window.get(), &MainWindow::requestStartTabWirelessTimer);

        ui->tabWidgetMainTabs->setCurrentIndex(index);

        QCOMPARE(applicationsTimer->isActive(), applicationsRunning);
        QCOMPARE(processesTimer->isActive(), processesRunning);
        QCOMPARE(applications.count(), applicationsRequests);
        QCOMPARE(processes.count(), processesRequests);
        QCOMPARE(stopWireless.count(), 1);
        QCOMPARE(startWireless.count(), networkingStarts);
    }

    void resizeEmitsWindowResizedOnce() {
        QSignalSpy resized(window.get(), &MainWindow::windowResized);
        window->resize(900, 640);
        QVERIFY(TestSupport::waitFor([&] { return resized.count() >= 1; }));
        QCOMPARE(resized.count(), 1);
        QCOMPARE(resized.at(0).at(0).toSize(), QSize(900, 640));
    }

    void keepOnTopReachesTheWindowManager() {
        const WId id = window->winId();
        QVERIFY(!netWmState(id).contains("_NET_WM_STATE_ABOVE"));

        ui->actionKeep_On_Top->trigger();
        QVERIFY(ui->actionKeep_On_Top->isChecked());
        QVERIFY2(TestSupport::waitFor([&] { return netWmState(id).contains("_NET_WM_STATE_ABOVE"); }),
                 qPrintable(netWmState(id)));

        ui->actionKeep_On_Top->trigger();
        QVERIFY(!ui->actionKeep_On_Top->isChecked());
        QVERIFY(TestSupport::waitFor([&] { return !netWmState(id).contains("_NET_WM_STATE_ABOVE"); }));
    }

    // A second start brings the window back, even from minimised.
    void bringToFrontRestoresAMinimisedWindow() {
        window->showMinimized();
        QVERIFY(TestSupport::waitFor(
            [&] { return netWmState(window->winId()).contains("_NET_WM_STATE_HIDDEN"); }));
        window->bringToFront();
        QVERIFY(TestSupport::waitFor(
            [&] { return !netWmState(window->winId()).contains("_NET_WM_STATE_HIDDEN"); }));
        QVERIFY(!window->isMinimized());
        QVERIFY(TestSupport::waitFor([&] { return window->isActiveWindow(); }));
    }

    void keepOnTopWithoutDisplayRestoresTheMark() {
        const QByteArray display = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":4242");
        QTest::ignoreMessage(QtWarningMsg, "Keep On Top: cannot open the X display");
        ui->actionKeep_On_Top->trigger();
        qputenv("DISPLAY", display);
        QVERIFY(!ui->actionKeep_On_Top->isChecked());
    }

    void aboutClosesWithEscape() {
        auto* about = window->findChild<DialogAbout*>();
        QVERIFY(about);
        for (int round = 0; round < 2; ++round) {
            QTimer::singleShot(0, this, [about] {
                QVERIFY(TestSupport::waitFor([about] { return about->isVisible(); }));
                QTest::keyClick(about, Qt::Key_Escape);
            });
            ui->actionAbout->trigger(); // runs exec() until Escape ends it
            QVERIFY(!about->isVisible());
        }
        QCOMPARE(window->findChildren<DialogAbout*>().size(), 1);
    }

    void logsLoadOnceWhenFirstShown() {
        TabLogs* logs = window->findChild<TabLogs*>();
        QVERIFY(logs);
        QSignalSpy sysLog(logs, &TabLogs::requestUpdateLogsSysLogTable);
        QSignalSpy authLog(logs, &TabLogs::requestUpdateLogsAuthLogTable);
        QSignalSpy flatpakLog(logs, &TabLogs::requestUpdateLogsFlatpakLogTable);

        // Opened twice before the first syslog list arrives: two requests,
        // but the rest of the logs are asked for only once.
        ui->tabWidgetMainTabs->setCurrentIndex(7);
        logs->initializeLogs();
        QCOMPARE(sysLog.count(), 2);
        QVERIFY(TestSupport::waitFor([&] { return logs->isInitialized(); }));
        QVERIFY(TestSupport::waitFor([&] { return flatpakLog.count() == 1; }));
        // Both syslog answers handled: the second one had its chance to chain again.
        QVERIFY(TestSupport::waitFor([&] { return !logs->isLoading(TabLogs::SysLog); }));
        QCOMPARE(authLog.count(), 1);
        QCOMPARE(flatpakLog.count(), 1);

        ui->tabWidgetMainTabs->setCurrentIndex(0);
        ui->tabWidgetMainTabs->setCurrentIndex(7);
        QCOMPARE(sysLog.count(), 2);

        // Once loaded, a theme flip refreshes every page.
        emit window->themeChanged();
        QCOMPARE(sysLog.count(), 3);
        QCOMPARE(authLog.count(), 2);
        QCOMPARE(flatpakLog.count(), 2);
    }

    void networkingTimersFollowTheShownTab() {
        auto* bandwidth = window->findChild<TabNetworkingBandwidthMonitor*>();
        QTabWidget* tabs = ui->tabWidgetMainTabs;
        tabs->setCurrentIndex(0);
        QVERIFY(!bandwidth->isSampling());
        tabs->setCurrentIndex(5);
        QVERIFY(bandwidth->isSampling());
        tabs->setCurrentIndex(6);
        QVERIFY(!bandwidth->isSampling());
    }

    void graphsFlipOnlyWhenTheDirectionChanges_data() {
        QTest::addColumn<QList<int>>("heights");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QStringList>("messages");
        const QString vertical = QStringLiteral("Switched to vertical layout");
        const QString horizontal = QStringLiteral("Switched to horizontal layout");
        QTest::newRow("581 stacks, once")
            << QList<int>{581, 700, 900} << int(QBoxLayout::TopToBottom) << QStringList{vertical};
        QTest::newRow("back below 581")
            << QList<int>{800, 580, 400} << int(QBoxLayout::LeftToRight) << QStringList{vertical, horizontal};
    }
    void graphsFlipOnlyWhenTheDirectionChanges() {
        QFETCH(QList<int>, heights);
        QFETCH(int, direction);
        QFETCH(QStringList, messages);
        auto* layout = qobject_cast<QBoxLayout*>(ui->groupBoxNetworkingGraphs->layout());
        QVERIFY(layout);
        layout->setDirection(QBoxLayout::LeftToRight);
        switchMessages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordSwitchMessages);
        for (int height : heights)
            emit window->windowResized(QSize(1000, height));
        qInstallMessageHandler(previous);
        QCOMPARE(int(layout->direction()), direction);
        QCOMPARE(switchMessages, messages);
    }
    // The program opens on the Overview and builds the other tabs once its
    // window has been painted, laid out for the window's size; a tab shown
    // before that is built at once, with its periodic work.
    // The tools of the system-information panel wait for that paint too.
    void otherTabsAfterFirstPaint() {
        window.reset();
        QTemporaryDir standIns;
        const QString log = standIns.filePath("started");
        QVERIFY(
            TestSupport::writeScript(standIns.filePath("lspci"), "echo lspci >> '" + log.toUtf8() + "'\n"));
        const QStringList searchPath = SystemPaths::searchPath();
        SystemPaths::setSearchPath({standIns.path()});
        const auto restore = qScopeGuard([&] { SystemPaths::setSearchPath(searchPath); });
        const auto probesThreads = [] {
            int count = 0;
            for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile comm("/proc/self/task/" + task + "/comm");
                count += comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("workersysinfopr");
            }
            return count;
        };
        window = std::make_unique<MainWindow>(nullptr, MainWindow::TabCreation::OtherTabsAfterFirstPaint);
        QVERIFY(window->findChild<TabOverviewGraphs*>() && !window->findChild<TabLogs*>());
        QCOMPARE(probesThreads(), 0);
        window->resize(1000, 900);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_VERIFY(window->allTabsCreated());
        QCOMPARE(probesThreads(), 1);
        QTRY_VERIFY(QFileInfo::exists(log));
        auto* layout = qobject_cast<QBoxLayout*>(window->form()->groupBoxNetworkingGraphs->layout());
        QCOMPARE(int(layout->direction()), int(QBoxLayout::TopToBottom));

        auto early = std::make_unique<MainWindow>(nullptr, MainWindow::TabCreation::OtherTabsAfterFirstPaint);
        QVERIFY(!early->allTabsCreated());
        early->form()->tabWidgetMainTabs->setCurrentIndex(2);
        QVERIFY(early->allTabsCreated());
        QVERIFY(early->findChild<QTimer*>("processesTimer")->isActive());
    }

    void quitEndsTheEventLoop() {
        QTimer::singleShot(0, ui->actionQuit, &QAction::trigger);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
