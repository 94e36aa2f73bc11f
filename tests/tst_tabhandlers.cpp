#include "loadingoverlay.h"
#include "mainwindow.h"
#include "startup.h"
#include "tabcronjobs.h"
#include "tablogs.h"
#include "tabnetworkingbandwidthmonitor.h"
#include "tabnetworkingpacketsniffer.h"
#include "tabnetworkingwireless.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QDir>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {
QStringList switchMessages;

void recordSwitchMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg && message.startsWith(QLatin1String("Switched to ")))
        switchMessages << message;
}

// Names of this process's threads that run a tab's worker.
QStringList workerThreadNames() {
    QStringList names;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly)) {
            const QString name = QString::fromUtf8(comm.readAll()).trimmed();
            if (name.startsWith(QLatin1String("worker")))
                names << name;
        }
    }
    return names;
}

void setWindowColour(const QColor& colour) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, colour);
    QApplication::setPalette(palette);
}
} // namespace

// The tab handlers of the Services, Logs, Cron Jobs, Users and Networking
// pages inside a real main window.
class TestTabHandlers : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;

    template <typename Tab> Tab* tab() const { return window->findChild<Tab*>(); }

private slots:
    void initTestCase() {
        // Without SUDO_USER the start-up security check creates nothing.
        qunsetenv("SUDO_USER");
        registerSharedMetaTypes();
        QLoggingCategory::setFilterRules(QStringLiteral("tessmar.bandwidth.debug=true"));
    }

    void init() {
        window = std::make_unique<MainWindow>();
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void logsLoadOnceWhenFirstShown() {
        TabLogs* logs = tab<TabLogs>();
        QVERIFY(logs);
        QSignalSpy sysLog(logs, &TabLogs::requestUpdateLogsSysLogTable);
        QSignalSpy authLog(logs, &TabLogs::requestUpdateLogsAuthLogTable);
        QSignalSpy flatpakLog(logs, &TabLogs::requestUpdateLogsFlatpakLogTable);

        // Before the first load a theme flip asks for nothing.
        emit window->themeChanged();
        QCOMPARE(sysLog.count(), 0);

        // Opened twice before the first syslog list arrives: two requests,
        // but the rest of the logs are asked for only once.
        window->form()->tabWidgetMainTabs->setCurrentIndex(7);
        logs->initializeLogs();
        QCOMPARE(sysLog.count(), 2);
        QVERIFY(logs->overlay(TabLogs::SysLog)->isVisibleTo(window->form()->tableLogsSysLog));
        QVERIFY(TestSupport::waitFor([&] { return logs->isInitialized(); }));
        QVERIFY(TestSupport::waitFor([&] { return flatpakLog.count() == 1; }));
        QVERIFY(!logs->overlay(TabLogs::SysLog)->isVisibleTo(window->form()->tableLogsSysLog));
        QTest::qWait(100); // the second syslog answer must not chain again
        QCOMPARE(authLog.count(), 1);
        QCOMPARE(flatpakLog.count(), 1);

        window->form()->tabWidgetMainTabs->setCurrentIndex(0);
        window->form()->tabWidgetMainTabs->setCurrentIndex(7);
        QCOMPARE(sysLog.count(), 2);

        // Once loaded, a theme flip refreshes every page.
        emit window->themeChanged();
        QCOMPARE(sysLog.count(), 3);
        QCOMPARE(authLog.count(), 2);
        QCOMPARE(flatpakLog.count(), 2);
    }

    void networkingTimersFollowTheShownTab() {
        auto* bandwidth = tab<TabNetworkingBandwidthMonitor>();
        QTabWidget* tabs = window->form()->tabWidgetMainTabs;
        tabs->setCurrentIndex(0);
        QVERIFY(!bandwidth->isSampling());
        tabs->setCurrentIndex(5);
        QVERIFY(bandwidth->isSampling());
        // A Networking sub-page change keeps them running.
        window->form()->tabWidgetNetworkingTabs->setCurrentIndex(1);
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
        QTest::newRow("low stays side by side")
            << QList<int>{500, 580} << int(QBoxLayout::LeftToRight) << QStringList();
        QTest::newRow("581 stacks, once")
            << QList<int>{581, 700, 900} << int(QBoxLayout::TopToBottom) << QStringList{vertical};
        QTest::newRow("back below 581")
            << QList<int>{800, 580, 400} << int(QBoxLayout::LeftToRight) << QStringList{vertical, horizontal};
    }
    void graphsFlipOnlyWhenTheDirectionChanges() {
        QFETCH(QList<int>, heights);
        QFETCH(int, direction);
        QFETCH(QStringList, messages);
        auto* layout = qobject_cast<QBoxLayout*>(window->form()->groupBoxNetworkingGraphs->layout());
        QVERIFY(layout);
        layout->setDirection(QBoxLayout::LeftToRight);
        switchMessages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordSwitchMessages);
        for (int height : heights)
            emit window->windowResized(QSize(1000, height));
        qInstallMessageHandler(previous);
        QCOMPARE(int(layout->direction()), direction);
        QCOMPARE(switchMessages, messages);
        if (!messages.isEmpty()) {
            QCOMPARE(layout->stretch(0), 1);
            QCOMPARE(layout->stretch(1), 1);
        }
    }

    void cronLabelFollowsThePalette_data() {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QString>("styleSheet");
        QTest::newRow("dark") << QColor(35, 35, 35) << "QLabel {color: #7FA8FF;}";
        QTest::newRow("light") << QColor(239, 239, 239) << "QLabel {color: #0007CD;}";
        QTest::newRow("just below the middle") << QColor(127, 127, 127) << "QLabel {color: #7FA8FF;}";
        QTest::newRow("middle") << QColor(128, 128, 128) << "QLabel {color: #0007CD;}";
    }
    void cronLabelFollowsThePalette() {
        QFETCH(QColor, window);
        QFETCH(QString, styleSheet);
        const QPalette original = QApplication::palette();
        setWindowColour(window);
        emit this->window->themeChanged();
        QCOMPARE(this->window->form()->labelCronJobsInfo->styleSheet(), styleSheet);
        QApplication::setPalette(original);
    }

    void destroyingTheWindowEndsEveryWorkerThread() {
        QVERIFY(TestSupport::waitFor([] { return workerThreadNames().size() >= 8; }));
        QVERIFY(workerThreadNames().contains(QLatin1String("workerprocesses")));
        window.reset();
        QVERIFY2(TestSupport::waitFor([] { return workerThreadNames().isEmpty(); }, 3000),
                 qPrintable(workerThreadNames().join(QLatin1Char(' '))));
    }
};

QTEST_MAIN(TestTabHandlers)
#include "tst_tabhandlers.moc"
