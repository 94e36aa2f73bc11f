#include "commandrunner.h"
#include "mainwindow.h"
#include "startup.h"
#include "systempaths.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QtTest>

namespace {
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

// Threads Qt and GLib start for themselves and keep for the process's life.
QStringList withoutLibraryThreads(QStringList threads) {
    static const QRegularExpression library(
        QStringLiteral("^(QDBusConnection|QXcbEventQueue|gmain|gdbus|dconf "
                       "worker|pool-.*)\\("));
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

// Programs a run looked for and did not find: a tool the list above misses.
QStringList missingTools;
QtMessageHandler previousHandler = nullptr;

void recordMissingTools(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("could not be started: not found")))
        missingTools << message.section(QLatin1Char(' '), 0, 0);
    previousHandler(type, context, message);
}
} // namespace

// Quitting while every worker waits on a tool that never ends.
class TestShutdown : public QObject {
    Q_OBJECT
private slots:
    void quitIsImmediateWithHangingTools() {
        qunsetenv("SUDO_USER");
        registerSharedMetaTypes();
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
};

QTEST_MAIN(TestShutdown)
#include "tst_shutdown.moc"
