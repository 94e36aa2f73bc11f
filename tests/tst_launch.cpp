#include "testsupport.h"

#include <QtTest>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr uid_t nobodyUid = 65534;

// One start of the real program in an environment of the test's choosing.
// TMPDIR is private, so that the single-instance socket is the test's own.
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
    QString standardError() {
        errors += QString::fromUtf8(process.readAllStandardError());
        return errors;
    }
    QString standardOutput() {
        output += QString::fromUtf8(process.readAllStandardOutput());
        return output;
    }

    QProcess process;

private:
    QString errors;
    QString output;
};

QString windowWithTitle(const QString& title, const QStringList& ignore = {}) {
    for (const QString& id : TestSupport::windowIdsWithTitle(title))
        if (!ignore.contains(id))
            return id;
    return {};
}

QSize windowSize(const QString& id) {
    QProcess xwininfo;
    xwininfo.start("xwininfo", {"-id", id});
    xwininfo.waitForFinished(5000);
    const QString text = QString::fromUtf8(xwininfo.readAllStandardOutput());
    const QRegularExpression width("Width: (\\d+)"), height("Height: (\\d+)");
    return QSize(width.match(text).captured(1).toInt(), height.match(text).captured(1).toInt());
}

bool closeWindow(const QString& id) {
    return QProcess::execute("wmctrl", {"-i", "-c", id}) == 0;
}

// A unix socket file with nobody listening on it, as a crashed instance leaves behind.
bool leaveStaleSocket(const QString& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return bound && QFileInfo::exists(path);
}

// A child process that runs as nobody and listens on path until killed.
pid_t listenAsNobody(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        if (setgid(nobodyUid) != 0 || setuid(nobodyUid) != 0)
            _exit(2);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, file.constData(), sizeof(address.sun_path) - 1);
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 8) != 0)
            _exit(3);
        const char ok = 1;
        if (write(ready[1], &ok, 1) != 1)
            _exit(4);
        for (;;) {
            const int client = accept(fd, nullptr, nullptr);
            if (client >= 0)
                close(client);
        }
    }
    close(ready[1]);
    char ok = 0;
    const bool listening = read(ready[0], &ok, 1) == 1;
    close(ready[0]);
    if (!listening) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}
} // namespace

// The launch contract and the single-instance guard, with the real program.
class TestLaunch : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString sudoUser;
    bool settingsFolderExisted = false;

    QProcessEnvironment userEnvironment(const QString& tmpDir) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("SUDO_USER", sudoUser);
        environment.insert("TMPDIR", tmpDir);
        environment.remove("APP_LOCALE");
        return environment;
    }

private slots:
    void initTestCase() {
        QVERIFY2(geteuid() == 0, "the launch tests run as root, like the program");
        QVERIFY(home.isValid());
        sudoUser = TestSupport::uniqueName("tsm");
        settingsFolderExisted = QFileInfo::exists("/root/.tessmar");
    }

    void cleanupTestCase() {
        QFile::remove("/root/.tessmar/settings_" + sudoUser);
        if (!settingsFolderExisted)
            QDir("/root/.tessmar").removeRecursively();
    }

    void plainSudoStartIsRefused_data() {
        QTest::addColumn<bool>("homeSet");
        QTest::newRow("HOME is /root") << true;
        QTest::newRow("HOME unset") << false;
    }
    void plainSudoStartIsRefused() {
        QFETCH(bool, homeSet);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (homeSet)
            environment.insert("HOME", "/root");
        else
            environment.remove("HOME");
        environment.insert("SUDO_USER", sudoUser);
        Launch launch(environment);
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitCode(), 1);
        QCOMPARE(launch.standardError(),
                 QString("Please run this application as a regular user without 'sudo'.\n"));
        QCOMPARE(launch.standardOutput(), QString());
    }

    void regularUserStartReExecutesThroughSudo() {
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
        const QString program = dir.path() + "/tessmar-under-test";
        QVERIFY(QFile::copy(TestSupport::programPath(), program));
        QVERIFY(::chmod(QFile::encodeName(program).constData(), 0755) == 0);
        QFile standIn(dir.path() + "/sudo");
        QVERIFY(standIn.open(QIODevice::WriteOnly));
        standIn.write(
            "#!/bin/sh\nbasename \"$0\" > \"$(dirname \"$0\")/args\"\n"
            "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$(dirname \"$0\")/args\"; done\nexit 7\n");
        standIn.close();
        QVERIFY(::chmod(QFile::encodeName(standIn.fileName()).constData(), 0755) == 0);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", dir.path() + ":/usr/bin:/bin");
        Launch launch(environment, {"--reuid=65534", "--regid=65534", "--clear-groups", program, "-x", "y z"},
                      "setpriv");
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitCode(), 7); // the program was replaced by "sudo"
        QFile args(dir.path() + "/args");
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()), QString("sudo\n-E\ntessmar\n-x\ny z\n"));

        // Without any sudo to run, the failure is reported and the exit code is 1.
        environment.insert("PATH", dir.path() + "/nothing-here");
        Launch failing(environment, {"--reuid=65534", "--regid=65534", "--clear-groups", program}, "setpriv");
        QVERIFY(failing.finished());
        QCOMPARE(failing.process.exitCode(), 1);
        QVERIFY2(failing.standardError().startsWith("execvp: "), qPrintable(failing.standardError()));
    }

    void windowSecondStartAndCleanQuit() {
        QTemporaryDir tmp;
        Launch first(userEnvironment(tmp.path()));
        QString id;
        QVERIFY2(TestSupport::waitFor([&] { return !(id = windowWithTitle("Tessmar")).isEmpty(); }, 20000),
                 qPrintable(first.standardError()));
        QCOMPARE(windowSize(id), QSize(720, 500));
        QVERIFY(first.standardOutput().startsWith("Application is running as root.\n"));

        // The socket is the owner's alone.
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(tmp.path() + "/TessmarInstance").constData(), &info) == 0);
        QCOMPARE(info.st_mode & 077, 0u);

        Launch second(userEnvironment(tmp.path()));
        QVERIFY(second.finished());
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(second.standardError().contains("Another instance is already running. Exiting."));
        QVERIFY(TestSupport::waitFor(
            [&] { return first.standardError().contains("Received new connection - raising window."); }));
        QCOMPARE(TestSupport::windowIdsWithTitle("Tessmar").size(), 1);

        // Closing the window ends the program, its worker threads included.
        QVERIFY(closeWindow(id));
        QVERIFY(first.finished());
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.process.exitCode(), 0);
        QVERIFY2(!first.standardError().contains("QThread"), qPrintable(first.standardError()));
    }

    void staleSocketIsRemoved() {
        QTemporaryDir tmp;
        QVERIFY(leaveStaleSocket(tmp.path() + "/TessmarInstance"));
        Launch launch(userEnvironment(tmp.path()));
        QString id;
        QVERIFY2(TestSupport::waitFor([&] { return !(id = windowWithTitle("Tessmar")).isEmpty(); }, 20000),
                 qPrintable(launch.standardError()));
        QVERIFY(closeWindow(id));
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitCode(), 0);
    }

    void socketOfAnotherUserDoesNotStopTheProgram() {
        QTemporaryDir tmp;
        QVERIFY(::chmod(QFile::encodeName(tmp.path()).constData(), 01777) == 0);
        const pid_t squatter = listenAsNobody(tmp.path() + "/TessmarInstance");
        QVERIFY(squatter > 0);
        Launch launch(userEnvironment(tmp.path()));
        QString id;
        const bool shown =
            TestSupport::waitFor([&] { return !(id = windowWithTitle("Tessmar")).isEmpty(); }, 20000);
        kill(squatter, SIGKILL);
        waitpid(squatter, nullptr, 0);
        QVERIFY2(shown, qPrintable(launch.standardError()));
        QVERIFY(launch.standardError().contains("Ignoring the TessmarInstance socket held by user id 65534"));
        QVERIFY(closeWindow(id));
        QVERIFY(launch.finished());
        QCOMPARE(launch.process.exitCode(), 0);
    }

    void catalogueSearchOrderFollowsAppLocale() {
        QTemporaryDir tmp;
        QProcessEnvironment environment = userEnvironment(tmp.path());
        environment.insert("APP_LOCALE", "zz_ZZ");
        Launch launch(environment);
        QVERIFY(TestSupport::waitFor(
            [&] { return launch.standardError().contains("No translation file found"); }));
        const QString programDir = QFileInfo(TestSupport::programPath()).absolutePath();
        QStringList tried;
        const QRegularExpression trying("Trying: \"([^\"]+)\"");
        for (auto it = trying.globalMatch(launch.standardError()); it.hasNext();)
            tried << it.next().captured(1);
        QCOMPARE(tried, (QStringList{programDir + "/tessmar_zz_ZZ.qm", programDir + "/tessmar_zz.qm",
                                     "/usr/share/tessmar/translations/tessmar_zz_ZZ.qm",
                                     "/usr/share/tessmar/translations/tessmar_zz.qm"}));
        QVERIFY(launch.standardError().contains("Detected locale is: \"zz_ZZ\""));
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
