#include "singleinstance.h"
#include "startup.h"

#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr uid_t nobody = 65534;

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

// A process of another user listening on path, as a local user could
// where the socket's folder lets them.
class ForeignListener {
public:
    explicit ForeignListener(const QString& path) {
        const QByteArray name = QFile::encodeName(path);
        pid = ::fork();
        if (pid == 0) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::setgid(nobody) != 0 || ::setuid(nobody) != 0 || fd < 0 ||
                ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
                ::listen(fd, 4) != 0)
                ::_exit(1);
            for (;;)
                ::pause();
        }
    }
    ~ForeignListener() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = -1;
};
} // namespace

// The launch decisions and start-up settings, without starting Qt's GUI.
class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void launchDecision_data() {
        QTest::addColumn<int>("uid");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QByteArray>("sudoUser");
        QTest::addColumn<int>("action");
        const QByteArray unset;
        QTest::newRow("plain sudo") << 0 << QByteArray("/root") << QByteArray("alice")
                                    << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo without HOME")
            << 0 << unset << QByteArray("alice") << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo -E") << 0 << QByteArray("/home/alice") << QByteArray("alice")
                                 << int(LaunchAction::Run);
        QTest::newRow("root login") << 0 << QByteArray("/root") << unset << int(LaunchAction::Run);
        QTest::newRow("sudo, HOME //root/.")
            << 0 << QByteArray("//root/.") << QByteArray("a") << int(LaunchAction::RefuseSudo);
        QTest::newRow("sudo, HOME /rooted")
            << 0 << QByteArray("/rooted") << QByteArray("a") << int(LaunchAction::Run);
        QTest::newRow("regular user")
            << 1000 << QByteArray("/home/alice") << unset << int(LaunchAction::ReExecute);
    }
    void launchDecision() {
        QFETCH(int, uid);
        QFETCH(QByteArray, home);
        QFETCH(QByteArray, sudoUser);
        QFETCH(int, action);
        const LaunchAction decided =
            decideLaunch(static_cast<uid_t>(uid), home.isNull() ? nullptr : home.constData(),
                         sudoUser.isNull() ? nullptr : sudoUser.constData());
        QCOMPARE(int(decided), action);
    }

    void bannerPrintsNullForUnsetVariables() {
        char* buffer = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&buffer, &size);
        printRootBanner(out, ":0", nullptr, nullptr);
        std::fclose(out);
        const QString text = QString::fromUtf8(buffer, int(size));
        std::free(buffer);
        QCOMPARE(text, QString("Application is running as root.\nDISPLAY=:0\nXAUTHORITY=(null)\n"
                               "DBUS_SESSION_BUS_ADDRESS=(null)\n"));
    }

    // The socket's folder must be root's alone: another user's folder is not
    // used, a loose one is tightened, and the socket is owner-only.
    void instanceFolderIsPrivate_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("listens");
        QTest::newRow("missing: made 0700") << "missing" << true;
        QTest::newRow("0755 of ours: tightened") << "loose" << true;
        QTest::newRow("another user's: refused") << "foreign" << false;
        QTest::newRow("symbolic link: refused") << "link" << false;
    }
    void instanceFolderIsPrivate() {
        QFETCH(QString, kind);
        QFETCH(bool, listens);
        QTemporaryDir parent;
        const QString folder = parent.filePath("tessmar");
        const QByteArray path = QFile::encodeName(folder);
        if (kind == "loose" || kind == "foreign")
            QVERIFY(::mkdir(path.constData(), 0755) == 0);
        if (kind == "foreign")
            QVERIFY(::chown(path.constData(), nobody, nobody) == 0);
        if (kind == "link") {
            QVERIFY(QDir(parent.path()).mkdir("elsewhere"));
            QVERIFY(QFile::link(parent.filePath("elsewhere"), folder));
        }

        SingleInstance instance(folder, "TessmarInstance");
        QCOMPARE(instance.listen(), listens);
        if (!listens) {
            QVERIFY(!QFileInfo::exists(instance.socketPath()));
            QVERIFY(!QFileInfo::exists(parent.filePath("elsewhere/TessmarInstance")));
            return;
        }
        QCOMPARE(modeOf(folder) & 07777, mode_t(0700));
        const mode_t socket = modeOf(instance.socketPath());
        QVERIFY(S_ISSOCK(socket));
        QCOMPARE(socket & 077, mode_t(0));
    }

    // Only a peer running as root is another instance: a socket another user
    // managed to hold does not make the program exit, and is replaced.
    void anotherUsersSocketIsNoInstance() {
        QTemporaryDir parent;
        QVERIFY(::chmod(QFile::encodeName(parent.path()).constData(), 0711) == 0);
        const QString folder = parent.filePath("tessmar");
        QVERIFY(::mkdir(QFile::encodeName(folder).constData(), 0777) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        SingleInstance instance(folder, "TessmarInstance");
        ForeignListener foreign(instance.socketPath());
        QTRY_VERIFY(S_ISSOCK(modeOf(instance.socketPath())));
        QVERIFY(!instance.anotherInstanceIsRunning(1000));

        QVERIFY(instance.listen());
        SingleInstance second(folder, "TessmarInstance");
        QVERIFY(second.anotherInstanceIsRunning(1000));
    }

    void programCatalogueFromProgramFolder() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(qEnvironmentVariable("TESSMAR_TEST_QM_DIR") + "/tessmar_xx.qm",
                            dir.path() + "/tessmar_xx.qm"));
        QTranslator translator;
        QVERIFY(loadProgramTranslation(translator, dir.path(), "xx_YY"));
        QCOMPARE(translator.translate("MainWindow", "Overview"), QString("[Overview]"));
        QTranslator missing;
        QVERIFY(!loadProgramTranslation(missing, dir.path(), "zz_ZZ"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
