#include "testsupport.h"

#include <QtTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString socketPath = QStringLiteral("/run/tessmar/TessmarInstance");

// One start of the real program in an environment of the test's choosing.
class Launch {
public:
    explicit Launch(const QProcessEnvironment& environment, const QStringList& arguments = {},
                    const QString& program = TestSupport::programPath()) {
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
    }
    ~Launch() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool finished(int timeoutMs = 15000) { return process.waitForFinished(timeoutMs); }
    QString standardError() { return errors += QString::fromUtf8(process.readAllStandardError()); }
    // The program's own window, once it is mapped.
    QString window() {
        QString id;
        TestSupport::waitFor(
            [&] {
                const QStringList ids = TestSupport::windowsOfProcess(process.processId());
                id = ids.value(0);
                return !id.isEmpty() || process.state() == QProcess::NotRunning;
            },
            20000);
        return id;
    }

    QProcess process;

private:
    QString errors;
};

bool closeWindow(const QString& id) {
    return QProcess::execute("wmctrl", {"-i", "-c", id}) == 0;
}
} // namespace

// The launch contract and the single-instance guard, with the real program.
// The test runs in a mount namespace of its own (private /run and /root), so
// the program's socket and settings are the test's alone.
class TestLaunch : public QObject {
    Q_OBJECT

    QTemporaryDir home;

    QProcessEnvironment userEnvironment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("SUDO_USER", TestSupport::uniqueName("tsm"));
        environment.insert("QT_LOGGING_RULES", "tessmar.*.debug=true");
        environment.remove("APP_LOCALE");
        return environment;
    }

private slots:
    void initTestCase() {
        QVERIFY2(geteuid() == 0, "the launch tests run as root, like the program");
        QVERIFY(home.isValid());
        QVERIFY(TestSupport::isolateSystemFolders());
    }

    // A plain sudo start (HOME is root's, even spelt "/root/") is refused.
    void plainSudoStartIsRefused() {
        QProcessEnvironment environment = userEnvironment();
        environment.insert("HOME", "/root/");
        Launch launch(environment);
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitCode(), 1);
        QCOMPARE(launch.standardError(),
                 QString("Please run this application as a regular user without 'sudo'.\n"));
    }

    void missingDisplayIsReported_data() {
        QTest::addColumn<QString>("display");
        QTest::newRow("unset") << QString();
        QTest::newRow("no server there") << ":4242";
    }
    void missingDisplayIsReported() {
        QFETCH(QString, display);
        QProcessEnvironment environment = userEnvironment();
        environment.remove("DISPLAY");
        if (!display.isNull())
            environment.insert("DISPLAY", display);
        Launch launch(environment);
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(launch.process.exitCode(), 1);
        QVERIFY2(launch.standardError().contains("Cannot open the X display"),
                 qPrintable(launch.standardError()));
    }

    void regularUserStartReExecutesThroughSudo() {
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
        const QString program = dir.path() + "/tessmar-under-test";
        QVERIFY(QFile::copy(TestSupport::programPath(), program));
        QVERIFY(::chmod(QFile::encodeName(program).constData(), 0755) == 0);
        QVERIFY(TestSupport::writeScript(
            dir.path() + "/sudo",
            "basename \"$0\" > \"$(dirname \"$0\")/args\"\n"
            "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$(dirname \"$0\")/args\"; done\n"
            "exit 7\n"));
        QVERIFY(::chmod(QFile::encodeName(dir.path() + "/sudo").constData(), 0755) == 0);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", dir.path() + ":/usr/bin:/bin");
        const QStringList asNobody{"--reuid=65534", "--regid=65534", "--clear-groups", program};
        Launch launch(environment, asNobody + QStringList{"-x", "y z"}, "setpriv");
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitCode(), 7); // the program was replaced by "sudo"
        QFile args(dir.path() + "/args");
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()), QString("sudo\n-E\ntessmar\n-x\ny z\n"));

        // Without any sudo to run, the failure is reported and the exit code is 1.
        environment.insert("PATH", dir.path() + "/nothing-here");
        Launch failing(environment, asNobody, "setpriv");
        QVERIFY(failing.finished());
        QCOMPARE(failing.process.exitCode(), 1);
        QVERIFY2(failing.standardError().startsWith("execvp: "), qPrintable(failing.standardError()));
    }

    void windowSecondStartAndCleanQuit() {
        // A folder of that name in the shared temporary folder once blocked the start.
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("TessmarInstance"));
        QProcessEnvironment environment = userEnvironment();
        environment.insert("TMPDIR", tmp.path());
        Launch first(environment);
        const QString id = first.window();
        QVERIFY2(!id.isEmpty(), qPrintable(first.standardError()));

        // Nothing is drawn with OpenGL: its driver (tens of megabytes) stays
        // unloaded, also when the program is the display's first GTK client.
        QFile maps(QString("/proc/%1/maps").arg(first.process.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QString mapped = QString::fromLatin1(maps.readAll());
        for (const char* library : {"_dri.so", "libLLVM"})
            QVERIFY2(!mapped.contains(library), library);

        // The socket's folder is root's alone.
        struct stat info {};
        QVERIFY(::lstat("/run/tessmar", &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & 07777, 0700u);
        QCOMPARE(info.st_uid, 0u);

        Launch second(environment);
        QVERIFY(second.finished());
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(second.standardError().contains("Another instance is already running. Exiting."));
        QVERIFY(TestSupport::waitFor(
            [&] { return first.standardError().contains("Received new connection - raising window."); }));

        // Closing the window ends the program, its worker threads included.
        QVERIFY(closeWindow(id));
        QVERIFY(first.finished());
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.process.exitCode(), 0);
        QVERIFY2(!first.standardError().contains("QThread"), qPrintable(first.standardError()));
    }

    // A termination signal quits as the Quit action does: the socket goes too.
    // One left by an instance that was killed is replaced by the next start.
    void signalsQuitCleanly_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGKILL leaves a stale socket") << SIGKILL;
    }
    void signalsQuitCleanly() {
        QFETCH(int, signalNumber);
        Launch launch(userEnvironment());
        QVERIFY2(!launch.window().isEmpty(), qPrintable(launch.standardError()));
        QVERIFY(QFileInfo::exists(socketPath));
        QCOMPARE(::kill(pid_t(launch.process.processId()), signalNumber), 0);
        QVERIFY(launch.finished());
        if (signalNumber != SIGKILL) {
            QCOMPARE(launch.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(launch.process.exitCode(), 0);
            QVERIFY(!QFileInfo::exists(socketPath));
            return;
        }
        QVERIFY(QFileInfo::exists(socketPath));
        Launch next(userEnvironment());
        const QString id = next.window();
        QVERIFY2(!id.isEmpty(), qPrintable(next.standardError()));
        QVERIFY(closeWindow(id));
        QVERIFY(next.finished());
        QCOMPARE(next.process.exitCode(), 0);
    }

    // With no session bus named, nothing starts one: D-Bus libraries would
    // run "dbus-launch --autolaunch", whose bus daemon and accessibility bus
    // stay on the display for good. Nothing else of the start stays either.
    void startWithoutSessionBusLeavesNothingBehind() {
        QTemporaryDir standIns;
        const QString log = standIns.filePath("started");
        // Like the real one, it leaves a process behind.
        QVERIFY(TestSupport::writeScript(standIns.filePath("dbus-launch"),
                                         "echo \"$*\" >> '" + log.toUtf8() +
                                             "'\nsleep 300 </dev/null >/dev/null 2>&1 &\nexit 1\n"));
        // Found first wherever libdbus and GLib look for it.
        const QByteArray layers = "lowerdir=" + QFile::encodeName(standIns.path()) + ":/usr/bin";
        QVERIFY2(::mount("overlay", "/usr/bin", "overlay", 0, layers.constData()) == 0, strerror(errno));
        const QString markValue = TestSupport::uniqueName("bus");
        const QByteArray mark = "TESSMAR_TEST_MARK=" + markValue.toUtf8();
        const auto cleanup = qScopeGuard([&] {
            ::umount2("/usr/bin", MNT_DETACH);
            for (const QString& pid : TestSupport::processesWithEnvironmentEntry(mark))
                ::kill(pid.toInt(), SIGKILL);
        });

        QProcessEnvironment environment = userEnvironment();
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        environment.insert("TESSMAR_TEST_MARK", markValue);
        Launch launch(environment);
        QVERIFY2(!launch.window().isEmpty(), qPrintable(launch.standardError()));
        // GTK, the last library to look for a bus, is set up a second after the window.
        QVERIFY2(TestSupport::waitFor([&] {
                     return launch.standardError().contains("The desktop theme is read through GTK");
                 }),
                 qPrintable(launch.standardError()));
        launch.process.terminate();
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitCode(), 0);

        QVERIFY2(!QFileInfo::exists(log), "a session bus was started");
        QVERIFY2(TestSupport::waitFor(
                     [&] { return TestSupport::processesWithEnvironmentEntry(mark).isEmpty(); }, 3000),
                 qPrintable(TestSupport::processesWithEnvironmentEntry(mark).join(' ')));
    }

    // Debug lines stay off unless asked for; so does Qt's notice of a
    // missing runtime folder, which a root login never has.
    void debugLinesAreOffByDefault() {
        QProcessEnvironment environment = userEnvironment();
        environment.insert("APP_LOCALE", "zz_ZZ");
        environment.remove("QT_LOGGING_RULES");
        environment.remove("XDG_RUNTIME_DIR");
        Launch quiet(environment);
        QVERIFY(!quiet.window().isEmpty());
        quiet.process.terminate();
        QVERIFY(quiet.finished());
        QVERIFY2(!quiet.standardError().contains("Trying:"), qPrintable(quiet.standardError()));
        QVERIFY2(!quiet.standardError().contains("XDG_RUNTIME_DIR"), qPrintable(quiet.standardError()));

        environment.insert("QT_LOGGING_RULES", "tessmar.*.debug=true");
        Launch launch(environment);
        QVERIFY(TestSupport::waitFor([&] {
            const QString errors = launch.standardError();
            return errors.contains("Trying:") && errors.contains("XDG_RUNTIME_DIR not set");
        }));
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
