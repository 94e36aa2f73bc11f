#include "dialogabout.h"
#include "mainwindow.h"
#include "startup.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QtTest>

namespace {
QStringList tabTitles(const QTabWidget* tabs) {
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

// _NET_WM_STATE of a window as xprop reports it.
QString netWmState(WId id) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(id), "_NET_WM_STATE"});
    xprop.waitForFinished(5000);
    return QString::fromUtf8(xprop.readAllStandardOutput());
}
} // namespace

// The main window: form skeleton, menus, tab routing of periodic work,
// Keep On Top and the About dialog, on a real X display with a window manager.
class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    Ui::MainWindow* ui = nullptr;
    QTimer* applicationsTimer = nullptr;
    QTimer* processesTimer = nullptr;

private slots:
    void initTestCase() {
        qunsetenv("SUDO_USER"); // no settings file for a real user
        registerSharedMetaTypes();
    }

    void init() {
        window = std::make_unique<MainWindow>();
        ui = window->form();
        applicationsTimer = window->findChild<QTimer*>("applicationsTimer");
        processesTimer = window->findChild<QTimer*>("processesTimer");
        QVERIFY(applicationsTimer && processesTimer);
    }
    void cleanup() { window.reset(); }

    void windowTabsAndMenus() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->windowTitle(), QString("Tessmar"));
        QCOMPARE(window->minimumSize(), QSize(720, 500));
        QVERIFY(!window->windowIcon().pixmap(32).isNull()); // the resources are linked in

        QCOMPARE(tabTitles(ui->tabWidgetMainTabs),
                 (QStringList{"Overview", "Applications", "Processes", "Services", "Cron Jobs", "Networking",
                              "Users", "Logs"}));
        QCOMPARE(ui->tabWidgetMainTabs->currentIndex(), 0);

        // Initial check marks and exclusive groups.
        QVERIFY(ui->actionAperture->isChecked() && !ui->actionGreen->isChecked());
        QVERIFY(ui->actionMedium->isChecked() && !ui->actionKeep_On_Top->isChecked());
        ui->actionFast->trigger();
        QVERIFY(ui->actionFast->isChecked() && !ui->actionMedium->isChecked());
        ui->actionGreen->trigger();
        QVERIFY(ui->actionGreen->isChecked() && !ui->actionAperture->isChecked());

        // Every tab handler is a mouse-transparent child of the window.
        int handlers = 0;
        for (QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (QByteArray(child->metaObject()->className()).startsWith("Tab")) {
                ++handlers;
                QVERIFY(child->testAttribute(Qt::WA_TransparentForMouseEvents));
            }
        }
        QCOMPARE(handlers, 11);
    }

    void routingStartsAndStopsPeriodicWork_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("applicationsRunning");
        QTest::addColumn<bool>("processesRunning");
        QTest::addColumn<int>("applicationsRequests");
        QTest::addColumn<int>("processesRequests");
        QTest::addColumn<int>("networkingStarts");
        QTest::addColumn<int>("logsRequests");
        QTest::newRow("Overview") << 0 << false << false << 0 << 0 << 0 << 0;
        QTest::newRow("Applications") << 1 << true << false << 1 << 0 << 0 << 0;
        QTest::newRow("Processes") << 2 << false << true << 0 << 1 << 0 << 0;
        QTest::newRow("Services") << 3 << false << false << 0 << 0 << 0 << 0;
        QTest::newRow("Cron Jobs") << 4 << false << false << 0 << 0 << 0 << 0;
        QTest::newRow("Networking") << 5 << false << false << 0 << 0 << 1 << 0;
        QTest::newRow("Users") << 6 << false << false << 0 << 0 << 0 << 0;
        QTest::newRow("Logs") << 7 << false << false << 0 << 0 << 0 << 1;
    }
    void routingStartsAndStopsPeriodicWork() {
        QFETCH(int, index);
        QFETCH(bool, applicationsRunning);
        QFETCH(bool, processesRunning);
        QFETCH(int, applicationsRequests);
        QFETCH(int, processesRequests);
        QFETCH(int, networkingStarts);
        QFETCH(int, logsRequests);

        // Come from a tab whose work runs, so that stopping is seen too.
        ui->tabWidgetMainTabs->setCurrentIndex(index == 1 ? 2 : 1);
        QVERIFY(applicationsTimer->isActive() || processesTimer->isActive());

        QSignalSpy applications(window.get(), &MainWindow::requestUpdateApplicationsTable);
        QSignalSpy processes(window.get(), &MainWindow::requestUpdateProcessesTable);
        QSignalSpy stopBandwidth(window.get(), &MainWindow::requestStopTabBandwidthMonitorTimer);
        QSignalSpy stopWireless(window.get(), &MainWindow::requestStopTabWirelessTimer);
        QSignalSpy startBandwidth(window.get(), &MainWindow::requestStartTabBandwidthMonitorTimer);
        QSignalSpy startWireless(window.get(), &MainWindow::requestStartTabWirelessTimer);
        QSignalSpy logs(window.get(), &MainWindow::requestInitializeLogs);

        ui->tabWidgetMainTabs->setCurrentIndex(index);

        QCOMPARE(applicationsTimer->isActive(), applicationsRunning);
        QCOMPARE(processesTimer->isActive(), processesRunning);
        QCOMPARE(applications.count(), applicationsRequests);
        QCOMPARE(processes.count(), processesRequests);
        QCOMPARE(stopBandwidth.count(), 1);
        QCOMPARE(stopWireless.count(), 1);
        QCOMPARE(startBandwidth.count(), networkingStarts);
        QCOMPARE(startWireless.count(), networkingStarts);
        QCOMPARE(logs.count(), logsRequests);
        if (applicationsRunning)
            QCOMPARE(applicationsTimer->interval(), 2000);
        if (processesRunning)
            QCOMPARE(processesTimer->interval(), 3000);
    }

    void timersRepeatTheirRequest() {
        ui->tabWidgetMainTabs->setCurrentIndex(2);
        QSignalSpy processes(window.get(), &MainWindow::requestUpdateProcessesTable);
        emit processesTimer->timeout({});
        QCOMPARE(processes.count(), 1);
    }

    void resizeEmitsWindowResizedOnce() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QSignalSpy resized(window.get(), &MainWindow::windowResized);
        window->resize(900, 640);
        QVERIFY(TestSupport::waitFor([&] { return resized.count() >= 1; }));
        QCOMPARE(resized.count(), 1);
        QCOMPARE(resized.at(0).at(0).toSize(), QSize(900, 640));
        // The networking pages follow the size even while not shown.
        QWidget* page = ui->tabWidgetNetworkingTabs->widget(2);
        QCOMPARE(page->width(), ui->tabWidgetNetworkingTabs->width());
    }

    void keepOnTopReachesTheWindowManager() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
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
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
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
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
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
            QCOMPARE(about->windowTitle(), QString("About Tessmar"));
        }
        QCOMPARE(window->findChildren<DialogAbout*>().size(), 1);
    }

    void catalogueTranslatesTheForm() {
        window.reset();
        QTranslator translator;
        QVERIFY(translator.load(qEnvironmentVariable("TESSMAR_TEST_QM_DIR") + "/tessmar_xx.qm"));
        QCoreApplication::installTranslator(&translator);
        MainWindow translated;
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(translated.form()->tabWidgetMainTabs->tabText(0), QString("[Overview]"));
        QCOMPARE(translated.form()->tabWidgetMainTabs->tabText(7), QString("[Logs]"));
        window = std::make_unique<MainWindow>(); // for cleanup()
    }

    void quitEndsTheEventLoop() {
        QTimer::singleShot(0, ui->actionQuit, &QAction::trigger);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
