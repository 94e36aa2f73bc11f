#include "commandrunner.h"
#include "mainwindow.h"
#include "startup.h"
#include "systempaths.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QtTest>

namespace {
// Threads of this process whose name says they run a tab's worker.
QStringList workerThreadNames() {
    QStringList names;
    const QStringList tasks = QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("worker"))
            names << task;
    }
    return names;
}

// The tools the tabs' workers run; each stand-in hangs until it is ended.
const QStringList tools = {"systemctl", "journalctl", "dmesg",  "last",      "faillog", "flatpak", "getent",
                           "crontab",   "sudo",       "iostat", "lspci",     "glxinfo", "lsmod",   "modinfo",
                           "lsblk",     "who",        "uname",  "nmcli",     "ethtool", "wmctrl",  "xprop",
                           "bash",      "sh",         "cat",    "dmidecode", "hang"};
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
            QVERIFY(TestSupport::writeScript(standIns.filePath(tool),
                                             "echo \"$0\" >> '" + log.toUtf8() + "'\nexec /bin/sleep 60\n"));
        SystemPaths::setSearchPath({standIns.path()});
        installQuitHandling(*QCoreApplication::instance());

        auto window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (int tab = 0; tab < window->form()->tabWidgetMainTabs->count(); ++tab) {
            if (tab != 5) // the Networking page runs its tools on the window's own thread
                window->form()->tabWidgetMainTabs->setCurrentIndex(tab);
        }
        QVERIFY(TestSupport::waitFor([] { return workerThreadNames().size() >= 8; }));
        // One more worker of our own, blocked in a tool like the tabs' are.
        QScopedPointer<QThread> extra(QThread::create([] { CommandRunner::run("hang", {}); }));
        extra->setObjectName("workerhang");
        extra->start();
        QVERIFY(TestSupport::waitFor([&] { return QFile(log).size() > 0; }));

        QElapsedTimer quitting;
        QTimer::singleShot(0, window->form()->actionQuit, [&] {
            quitting.start();
            window->form()->actionQuit->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        window.reset();
        QVERIFY(extra->wait(1000));
        const qint64 elapsed = quitting.elapsed();
        QVERIFY2(workerThreadNames().isEmpty(), qPrintable(workerThreadNames().join(' ')));
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
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
