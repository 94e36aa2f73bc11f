#include "commandrunner.h"
#include "custompushbutton.h"
#include "mainwindow.h"
#include "standinmachine.h"
#include "startup.h"
#include "systempaths.h"
#include "tabnetworkingpacketsniffer.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workerthread.h"

#include <QListView>
#include <QTableView>
#include <QUdpSocket>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {
// Before main starts: the capture below listens on a loopback of the test's own.
const bool ownNetwork = TestSupport::isolateNetwork();

// The threads of this process: thread id to the name the kernel shows
// (cut at 15 characters).
QMap<QString, QString> threadsOfThisProcess() {
    QMap<QString, QString> threads;
    const QStringList tasks = QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly))
            threads.insert(task, QString::fromUtf8(comm.readAll()).trimmed());
    }
    return threads;
}

// Threads started since baseline, as "name(id)".
QStringList threadsSince(const QMap<QString, QString>& baseline) {
    QStringList started;
    const QMap<QString, QString> now = threadsOfThisProcess();
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (!baseline.contains(it.key()))
            started << QStringLiteral("%1(%2)").arg(it.value(), it.key());
    }
    return started;
}

QStringList named(const QStringList& threads, const QString& prefix) {
    QStringList matching;
    for (const QString& thread : threads) {
        if (thread.startsWith(prefix))
            matching << thread;
    }
    return matching;
}

// Threads Qt and GLib start for themselves and keep for the process's life,
// and those of Qt's global pool ("Thread (pooled)"), which Qt's GUI code
// uses on its own; the pool ends them when they idle.
QStringList withoutLibraryThreads(QStringList threads) {
    static const QRegularExpression library(
        QStringLiteral("^(QDBusConnection|QXcbEventQueue|gmain|gdbus|dconf "
                       "worker|pool-.*|Thread \\(pooled\\))\\("));
    threads.erase(std::remove_if(threads.begin(), threads.end(),
                                 [](const QString& thread) { return library.match(thread).hasMatch(); }),
                  threads.end());
    return threads;
}

// One thread per worker: overview graphs, system information and its
// probes, applications, processes, services, cron jobs, bandwidth counters
// and link speeds, packet capture, wireless, users, logs.
constexpr int kWorkerThreads = 13;

// Every program a worker runs; each stand-in records its name and hangs.
const QStringList tools =
    QStringLiteral("systemctl journalctl dmesg last faillog flatpak getent id crontab sudo iostat "
                   "nvidia-smi lspci glxinfo lsmod modinfo clinfo lsblk who uname wmctrl xprop "
                   "dmidecode pgrep iw ip nmcli ethtool tcpdump cat sh bash systemd-detect-virt "
                   "VBoxControl xfce4-session gnome-shell plasmashell hang")
        .split(QLatin1Char(' '));

// Set in a copy of this test whose only thread is held up.
const char* const heldQuitVariable = "TESSMAR_TEST_HELD_QUIT";

// Programs a run looked for and did not find: a tool the list above misses.
QStringList missingTools;
QtMessageHandler previousHandler = nullptr;

void recordMissingTools(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("could not be started: not found")))
        missingTools << message.section(QLatin1Char(' '), 0, 0);
    previousHandler(type, context, message);
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

int rowsOf(QAbstractItemView* view) {
    return view->model() ? view->model()->rowCount() : 0;
}
} // namespace

// Quitting while every worker waits on a tool that never ends.
class TestShutdown : public QObject {
    Q_OBJECT
private slots:
    void quitIsImmediateWithHangingTools() {
        qunsetenv("SUDO_USER");
        registerSharedMetaTypes();
        // Accounts, homes, logs and settings of a root of the test's own.
        StandInMachine machine;
        QVERIFY(machine.isValid());
        QTemporaryDir standIns;
        const QString log = standIns.filePath("started");
        for (const QString& tool : tools)
            QVERIFY(TestSupport::writeScript(standIns.filePath(tool), "echo \"${0##*/}\" >> '" +
                                                                          log.toUtf8() +
                                                                          "'\nexec /bin/sleep 60\n"));
        SystemPaths::setSearchPath({standIns.path()});
        installQuitHandling(*QCoreApplication::instance());
        previousHandler = qInstallMessageHandler(recordMissingTools);
        const QMap<QString, QString> baseline = threadsOfThisProcess();
        const auto started = [&] {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n')
                                                  : QStringList();
        };

        auto window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        Ui::MainWindow* ui = window->form();
        for (int tab = 0; tab < ui->tabWidgetMainTabs->count(); ++tab) {
            ui->tabWidgetMainTabs->setCurrentIndex(tab);
            QTest::qWait(50);
        }
        ui->tabWidgetMainTabs->setCurrentIndex(5); // Networking
        for (int page = 0; page < ui->tabWidgetNetworkingTabs->count(); ++page) {
            ui->tabWidgetNetworkingTabs->setCurrentIndex(page);
            QTest::qWait(50);
        }
        // The workers that run a tool on this machine are waiting in one
        // (the wireless worker only where there is a wireless device).
        QStringList waiting = {"systemctl", "wmctrl", "dmesg", "lspci"};
        if (!QDir("/sys/class/ieee80211")
                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                 .isEmpty())
            waiting << "iw";
        for (const QString& tool : qAsConst(waiting))
            QVERIFY2(TestSupport::waitFor([&] { return started().contains(tool); }), qPrintable(tool));
        QVERIFY2(named(threadsSince(baseline), "worker").size() >= kWorkerThreads,
                 qPrintable(threadsSince(baseline).join(' ')));
        // One more worker of our own, blocked in a tool like the tabs' are.
        QScopedPointer<QThread> extra(QThread::create([] { CommandRunner::run("hang", {}); }));
        extra->setObjectName("workerhang");
        extra->start();
        QVERIFY(TestSupport::waitFor([&] { return started().contains("hang"); }));
        const QStringList running = withoutLibraryThreads(threadsSince(baseline));

        QElapsedTimer quitting;
        QTimer::singleShot(0, ui->actionQuit, [&] {
            quitting.start();
            ui->actionQuit->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        window.reset();
        QVERIFY(extra->wait(1000));
        const qint64 elapsed = quitting.elapsed();
        qInstallMessageHandler(previousHandler);

        qInfo("Quit took %lld ms", elapsed);
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
        QVERIFY2(missingTools.isEmpty(), qPrintable(missingTools.join(' ')));
        // Every thread the program started is a worker, and every one ended.
        QVERIFY2(named(running, "worker").size() == running.size(), qPrintable(running.join(' ')));
        QCOMPARE(named(running, "worker").size(), kWorkerThreads + 1);
        const QStringList left = withoutLibraryThreads(threadsSince(baseline));
        QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
        // Every stand-in was ended, none left behind.
        const QString self = QString::number(QCoreApplication::applicationPid());
        QVERIFY(TestSupport::waitFor(
            [&] {
                return QProcess::execute("pgrep", {"-P", self, "sleep"}) != 0;
            },
            2000));
    }

    // Quitting after every tab has done its work and keeps what it found: a
    // long log page, a capture still running with its packets, a long
    // account list, the process table, the services.
    void quitIsPromptAfterEveryTabHasWorked() {
        QVERIFY(ownNetwork);
        CommandRunner::resetAbort();
        qunsetenv("SUDO_USER");
        registerSharedMetaTypes();
        QTemporaryDir root, standIns;
        QByteArray syslog, passwd = "root:x:0:0:root:/root:/bin/bash\n", group = "root:x:0:\n";
        for (int line = 0; line < 1000000; ++line)
            syslog += "Mar  4 09:" + QByteArray::number(10 + line / 60000) + ":01 deb12 sshd[" +
                      QByteArray::number(line) + "]: Accepted password for alice from 10.0.0.5 port 51234\n";
        for (int user = 0; user < 3000; ++user) {
            const QByteArray id = QByteArray::number(2000 + user);
            passwd += "tsmu" + id + ":x:" + id + ":" + id + "::/nonexistent/tsmu" + id + ":/bin/bash\n";
            group += "tsmu" + id + ":x:" + id + ":\n";
        }
        QVERIFY(writeFile(root.filePath("var/log/syslog"), syslog));
        QVERIFY(writeFile(root.filePath("etc/passwd"), passwd));
        QVERIFY(writeFile(root.filePath("etc/group"), group));
        QVERIFY(writeFile(root.filePath("etc/debian_version"), "12.5\n"));
        for (const char* live : {"proc", "sys"})
            QVERIFY(QFile::link(QStringLiteral("/") + live, root.filePath(live)));
        QByteArray units;
        for (int unit = 0; unit < 300; ++unit)
            units += "tsm" + QByteArray::number(unit) + ".service enabled enabled\n";
        QVERIFY(writeFile(standIns.filePath("units"), units));
        QVERIFY(TestSupport::writeScript(standIns.filePath("systemctl"),
                                         "[ \"$1\" = list-unit-files ] && /bin/cat '" +
                                             standIns.filePath("units").toUtf8() + "'\nexit 0\n"));
        SystemPaths::setRootPrefix(root.path());
        SystemPaths::setSearchPath({standIns.path()});
        const auto restore = qScopeGuard([] {
            SystemPaths::setRootPrefix(QString());
            SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
        });

        auto window = std::make_unique<MainWindow>();
        window->resize(1200, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        Ui::MainWindow* ui = window->form();
        const auto show = [ui](QWidget* page) { ui->tabWidgetMainTabs->setCurrentWidget(page); };

        show(ui->tabWidgetNetworkingTabs->parentWidget()); // Networking
        ui->tabWidgetNetworkingTabs->setCurrentWidget(ui->tabWidgetNetworkingPacketSniffer);
        auto* sniffer = window->findChild<TabNetworkingPacketSniffer*>();
        QVERIFY(sniffer);
        for (CustomPushButton* button :
             ui->groupBoxNetworkingPacketSnifferNetworkInterfaces->findChildren<CustomPushButton*>())
            if (button->interfaceName() == "lo")
                button->click();
        ui->pushButtonNetworkingPacketSnifferRecordStop->click();
        QVERIFY(TestSupport::waitFor([&] { return sniffer->captureWorker()->isCapturing(); }));
        QUdpSocket receiver, sender;
        QVERIFY(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
        sender.connectToHost(QHostAddress::LocalHost, receiver.localPort());
        QVERIFY(sender.waitForConnected(1000));
        for (int i = 0; i < 210000; ++i) {
            sender.write(QByteArray("Tessmar quit datagram ") + QByteArray::number(i));
            if (i % 5000 == 0)
                QCoreApplication::processEvents();
        }
        QVERIFY2(TestSupport::waitFor([&] { return sniffer->packetCount() >= 200000; }, 60000),
                 qPrintable(QString::number(sniffer->packetCount())));

        show(ui->tabWidgetMainTabs->widget(2)); // Processes
        QVERIFY(TestSupport::waitFor([&] { return rowsOf(ui->tableProcesses) > 10; }));
        show(ui->tabWidgetMainTabs->widget(3)); // Services
        QVERIFY2(TestSupport::waitFor([&] { return rowsOf(ui->tableServices) == 300; }),
                 qPrintable(QString::number(rowsOf(ui->tableServices))));
        show(ui->tabWidgetMainTabs->widget(6)); // Users
        QVERIFY(TestSupport::waitFor([&] { return rowsOf(ui->listViewUsers) >= 3000; }, 30000));
        show(ui->tabWidgetMainTabs->widget(7)); // Logs
        ui->tabWidgetLogsTabs->setCurrentIndex(0);
        QVERIFY(TestSupport::waitFor([&] { return rowsOf(ui->tableLogsSysLog) == 1000000; }, 60000));
        // Quit while the work goes on: the log read again, the processes
        // refreshed, packets coming in.
        ui->pushButtonLogsSysLogReload->click();
        show(ui->tabWidgetMainTabs->widget(2)); // Processes
        for (int i = 0; i < 30000; ++i)
            sender.write(QByteArray("Tessmar quit datagram ") + QByteArray::number(i));

        QElapsedTimer quitting;
        QTimer::singleShot(0, ui->actionQuit, [&] {
            quitting.start();
            ui->actionQuit->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        window.reset();
        const qint64 elapsed = quitting.elapsed();
        qInfo("Quit took %lld ms after every tab has worked", elapsed);
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    }

    // A worker in a step that takes seconds and looks at nothing does not
    // hold quitting up: once the quit's deadline is set, it is left to end
    // with the process. (The last test here to stop threads: the bound stays.)
    void quitIsBoundedWhileAWorkerIsInALongStep() {
        auto* busy = new QObject;
        auto stuck = std::make_unique<WorkerThread>(busy, QStringLiteral("workerstuck"));
        stuck->start();
        std::atomic<bool> stepStarted{false};
        QMetaObject::invokeMethod(busy, [&stepStarted] {
            stepStarted = true;
            QThread::sleep(3);
        });
        QVERIFY(TestSupport::waitFor([&] { return stepStarted.load(); }));
        QThread* thread = stuck->thread();

        QElapsedTimer quitting;
        quitting.start();
        WorkerThread::limitStopsTo(600); // what the program's quit sets
        stuck.reset();
        const qint64 elapsed = quitting.elapsed();
        QCOMPARE(WorkerThread::leftRunning(), 1);
        // The worker goes with its thread once the step is over.
        QVERIFY(thread->wait(5000));
        delete thread;
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    }

    // A termination signal ends the program within the second even when
    // nothing of it answers any more (its GUI thread held up for half a minute).
    void terminationEndsTheProgramWhateverHoldsIt() {
        QProcess held;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(heldQuitVariable, "1");
        held.setProcessEnvironment(environment);
        held.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(held.waitForReadyRead(10000));
        QCOMPARE(held.readAllStandardOutput(), QByteArray("held\n"));
        QElapsedTimer quitting;
        quitting.start();
        QCOMPARE(::kill(pid_t(held.processId()), SIGTERM), 0);
        QVERIFY(held.waitForFinished(10000));
        const qint64 elapsed = quitting.elapsed();
        QCOMPARE(held.exitStatus(), QProcess::NormalExit);
        QCOMPARE(held.exitCode(), 0);
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    }
};

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet(heldQuitVariable)) {
        QCoreApplication app(argc, argv);
        installQuitHandling(app);
        startQuitWatchdog(900);
        std::puts("held");
        std::fflush(stdout);
        QThread::sleep(30);
        return 3;
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestShutdown test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_shutdown.moc"
