#include "accountchanges.h"
#include "accountfiles.h"
#include "accountlookup.h"
#include "accountqueries.h"
#include "commandrunner.h"
#include "pamauth.h"
#include "programsettings.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workerusers.h"

#include <QDBusConnection>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Set in a copy of this test that takes the run's lock before any pattern match.
const char* const lockBeforeMatchVariable = "TESSMAR_TEST_LOCK_BEFORE_MATCH";

// Records what the account service is told, on a private system bus.
class AccountServiceStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Accounts.User")
public:
    QString file;
    uid_t fileOwner = 1;
public slots:
    void SetIconFile(const QString& iconFile) {
        file = iconFile;
        struct stat info {};
        if (::lstat(QFile::encodeName(iconFile).constData(), &info) == 0 && S_ISREG(info.st_mode))
            fileOwner = info.st_uid;
    }
};

// Real throwaway accounts (removed again, also on failure) and the files
// written for them under a temporary root.
class TestAccountChanges : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QStringList accounts;
    QProcess bus;
    QString busAddress;

    QString fresh() {
        const QString name = TestSupport::accountName(QStringLiteral("tsm_"));
        accounts << name;
        return name;
    }
    QString createAccount(bool administrator, const QByteArray& picture = QByteArray()) {
        const QString name = fresh();
        QString error;
        if (!AccountChanges::createUser(name, QStringLiteral("first pass"), administrator, picture, &error))
            qWarning() << error;
        return name;
    }
    static QString run(const QString& program, const QStringList& arguments) {
        return CommandRunner::run(program, arguments).outputText().trimmed();
    }
    static QString shadowHash(const QString& name) {
        return run("getent", {"shadow", name}).section(':', 1, 1);
    }
    static QByteArray fileContent(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList grantsOf(const QString& name) const {
        QStringList found;
        for (const QString& path : {AccountChanges::polkitRulePath(name),
                                    AccountChanges::sudoersRulePath(name), ProgramSettings::filePath(name)})
            if (QFileInfo::exists(path))
                found << path;
        if (fileContent(lightdmConf()).contains(QFile::encodeName(QStringLiteral("autologin-user=") + name)))
            found << lightdmConf();
        return found;
    }
    QString lightdmConf() const { return root.path() + QStringLiteral("/etc/lightdm/lightdm.conf"); }

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("account changes need root");
        if (qEnvironmentVariableIsSet(lockBeforeMatchVariable))
            return;
        TestSupport::removeStaleTestAccounts(QStringLiteral("tsm_"));
        QVERIFY(root.isValid());
        for (const char* folder :
             {"/etc/polkit-1/rules.d", "/etc/sudoers.d", "/etc/lightdm", "/root/.tessmar"})
            QVERIFY(QDir().mkpath(root.path() + QLatin1String(folder)));
        QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), root.path() + QStringLiteral("/etc/passwd")));
        QVERIFY(QFile::link(QStringLiteral("/etc/group"), root.path() + QStringLiteral("/etc/group")));
        QFile conf(lightdmConf());
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[Seat:*]\n#autologin-user=\n");
        conf.close();
        SystemPaths::setRootPrefix(root.path());
        // A private system bus, before anything connects to the real one, its
        // socket in the temporary root. The account service is missing on it
        // until a test registers a stand-in.
        const QString daemon = CommandRunner::resolveProgram(QStringLiteral("dbus-daemon"));
        if (!daemon.isEmpty()) {
            bus.start(daemon,
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address"),
                       QStringLiteral("--address=unix:path=") + root.filePath(QStringLiteral("bus"))});
            QVERIFY(bus.waitForReadyRead(5000));
            busAddress = QString::fromUtf8(bus.readLine()).trimmed();
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress.toUtf8());
        }
    }
    void cleanupTestCase() {
        bus.kill();
        bus.waitForFinished();
        for (const QString& name : qAsConst(accounts))
            if (lookupAccount(name).found)
                CommandRunner::run(QStringLiteral("userdel"),
                                   {QStringLiteral("-r"), QStringLiteral("-f"), name});
        SystemPaths::setRootPrefix(QString());
    }

    void createDeleteCreateLeavesNoGrant() {
        // A second administrator, so that the first may be deleted.
        createAccount(true);
        const QString name = createAccount(true);
        QVERIFY(lookupAccount(name).found);
        QVERIFY(run("id", {"-nG", name}).split(' ').contains(QStringLiteral("sudo")));
        QVERIFY(AccountChanges::setSecurityLevel(name, 0));
        QVERIFY(AccountChanges::setAutoLogin(name, true));
        QVERIFY(AccountChanges::updateDescription(name, QStringLiteral("Kitchen PC")));
        QCOMPARE(grantsOf(name).size(), 4);

        QString error;
        QVERIFY2(AccountChanges::deleteUser(name, true, &error), qPrintable(error));
        QVERIFY(!lookupAccount(name).found);
        QCOMPARE(grantsOf(name), QStringList());
        // A leftover of an account deleted elsewhere is removed before creation.
        QFile stale(AccountChanges::sudoersRulePath(name));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("stale ALL=(ALL:ALL) NOPASSWD:ALL\n");
        stale.close();
        QVERIFY(AccountChanges::createUser(name, QStringLiteral("again"), false, QByteArray(), &error));
        QCOMPARE(grantsOf(name), QStringList());
        DetailsUser user;
        user.username = name;
        QCOMPARE(WorkerUsers::getSecurityLevel(user), 2);
    }

    // A password is set through standard input: one holding a line break
    // is refused and changes no other account; any other text is accepted
    // by PAM as it was set.
    void passwordsReachPamUnchanged() {
        const QString name = createAccount(false);
        const QString other = createAccount(false);
        const QString before = shadowHash(other);
        QVERIFY(!before.isEmpty());
        QVERIFY(!AccountChanges::changePassword(name, QStringLiteral("x\n%1:x").arg(other)));
        QVERIFY(!AccountChanges::changePassword(name, QStringLiteral("x\r%1:x").arg(other)));
        QCOMPARE(shadowHash(other), before);

        const QString password = QStringLiteral(" sp ace 'q' \"d\" $HOME; rm -rf / ");
        QVERIFY(AccountChanges::changePassword(name, password));
        QCOMPARE(authenticateUser(name.toStdString(), password.toStdString()), int(AuthAccepted));
        QCOMPARE(authenticateUser(name.toStdString(), "wrong"), int(AuthRefused));
        run("chage", {"-E", "0", name});
        QCOMPARE(authenticateUser(name.toStdString(), password.toStdString()), int(AuthRefused));
        run("chage", {"-E", "-1", name});
        run("usermod", {"-L", name});
        QCOMPARE(authenticateUser(name.toStdString(), password.toStdString()), int(AuthRefused));
    }

    void levelZeroOnlyForAdministrators() {
        // A second administrator, so that the first may leave "sudo".
        createAccount(true);
        const QString admin = createAccount(true);
        QString error;
        QVERIFY2(AccountChanges::setSecurityLevel(admin, 0, &error), qPrintable(error));
        const QString sudoers = AccountChanges::sudoersRulePath(admin);
        struct stat mode {};
        QVERIFY(::stat(QFile::encodeName(sudoers).constData(), &mode) == 0);
        QCOMPARE(mode.st_mode & 07777, mode_t(0440));
        QCOMPARE(mode.st_uid, uid_t(0));
        QVERIFY(run("visudo", {"-c", "-f", sudoers}).contains(QStringLiteral("parsed OK")));
        // sudo itself, with the drop-in folder mounted in a private namespace.
        const QString listed =
            run("unshare", {"-m", "sh", "-c", "mount --bind \"$1\" /etc/sudoers.d && exec sudo -l -U \"$2\"",
                            "sh", QFileInfo(sudoers).absolutePath(), admin});
        QVERIFY2(listed.contains(QStringLiteral("NOPASSWD: ALL")), qPrintable(listed));
        QVERIFY(QFileInfo::exists(AccountChanges::polkitRulePath(admin)));
        DetailsUser user;
        user.username = admin;
        QCOMPARE(WorkerUsers::getSecurityLevel(user), 0);

        // Leaving "sudo" takes the rules away; the primary group is never
        // removed, whatever the list asks for.
        const QStringList groups = AccountQueries::userGroups(admin);
        QVERIFY(groups.contains(admin));
        QStringList wanted = groups;
        for (const QString& group : {QStringLiteral("sudo"), QStringLiteral("audio"), admin})
            wanted.removeAll(group);
        QVERIFY(WorkerUsers().updateUserGroups(admin, wanted << QStringLiteral("users"), groups));
        const QStringList now = run("id", {"-nG", admin}).split(' ');
        QVERIFY(now.contains(QStringLiteral("users")) && !now.contains(QStringLiteral("audio")));
        QCOMPARE(run("id", {"-gn", admin}), admin);
        QCOMPARE(grantsOf(admin), QStringList{ProgramSettings::filePath(admin)});
        QCOMPARE(WorkerUsers::getSecurityLevel(user), 1);

        // A regular account keeps its level, and nothing is written.
        const QString regular = createAccount(false);
        QVERIFY(!AccountChanges::setSecurityLevel(regular, 0, &error));
        QCOMPARE(grantsOf(regular), QStringList());
    }

    // Debian's polkit keeps its rules folder as polkitd:root 0700: the
    // password-free level is set there all the same, in a file of root's.
    void levelZeroThroughSystemAccountsRulesFolder() {
        const QString keeper = fresh();
        QVERIFY(CommandRunner::run(QStringLiteral("useradd"),
                                   {QStringLiteral("-r"), QStringLiteral("--"), keeper})
                    .succeeded());
        const SystemAccount system = lookupAccount(keeper);
        QVERIFY(system.found && system.uid < 1000);
        const QByteArray folder = QFile::encodeName(root.path() + QStringLiteral("/etc/polkit-1/rules.d"));
        QVERIFY(::chown(folder.constData(), system.uid, 0) == 0 && ::chmod(folder.constData(), 0700) == 0);
        const auto restore = qScopeGuard([&] {
            QVERIFY(::chown(folder.constData(), 0, 0) == 0 && ::chmod(folder.constData(), 0755) == 0);
        });
        const QString admin = createAccount(true);
        QString error;
        QVERIFY2(AccountChanges::setSecurityLevel(admin, 0, &error), qPrintable(error));
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(AccountChanges::polkitRulePath(admin)).constData(), &info), 0);
        QCOMPARE(info.st_uid, uid_t(0));
        QCOMPARE(info.st_mode & 07777, mode_t(0644));
        DetailsUser user;
        user.username = admin;
        QCOMPARE(WorkerUsers::getSecurityLevel(user), 0);
    }

    // Without a sound player nothing is started; a player that fails (no
    // sound file, no sound server) is no warning either.
    void soundIsQuietWithoutPlayer() {
        QTemporaryDir tools;
        const QString args = tools.filePath(QStringLiteral("sudo.args"));
        QVERIFY(
            TestSupport::writeScript(tools.filePath(QStringLiteral("sudo")),
                                     "echo \"$@\" > \"$0.args\"\n"
                                     "echo \"env: 'paplay': No such file or directory\" >&2\nexit 127\n"));
        const QStringList searchPath = SystemPaths::searchPath();
        SystemPaths::setSearchPath({tools.path()});
        qputenv("SUDO_USER", "root");
        static std::atomic<int> warnings{0};
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString&) {
                if (type != QtDebugMsg && type != QtInfoMsg)
                    ++warnings;
            });
        const auto restore = qScopeGuard([&] {
            qInstallMessageHandler(previous);
            qunsetenv("SUDO_USER");
            SystemPaths::setSearchPath(searchPath);
        });
        const QString sound = QStringLiteral("/usr/share/sounds/none.ogg");
        AccountChanges::playSoundAsInvokingUser(sound);
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY(!QFileInfo::exists(args));
        QVERIFY(TestSupport::writeScript(tools.filePath(QStringLiteral("paplay")), "exit 0\n"));
        AccountChanges::playSoundAsInvokingUser(sound);
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY(QFileInfo::exists(args));
        QCOMPARE(warnings.load(), 0);
    }

    // Names that are no account names never reach a command, a rule file or
    // a file name under sudoers.d, even when the group file lists them in sudo.
    void unusualNamesWriteNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote") << "a'b";
        QTest::newRow("option") << "-rf";
        QTest::newRow("line break") << "a\nALL ALL=(ALL) NOPASSWD:ALL";
        QTest::newRow("dot") << "a.b";
        QTest::newRow("slash") << "a/b";
        QTest::newRow("parent folder") << "../x";
    }
    void unusualNamesWriteNothing() {
        QFETCH(QString, name);
        const QString group = root.path() + QStringLiteral("/etc/group");
        QVERIFY(QFile::remove(group));
        QFile fixture(group);
        QVERIFY(fixture.open(QIODevice::WriteOnly));
        fixture.write("sudo:x:27:a.b,a/b,../x,-rf,a'b\n");
        fixture.close();
        const auto restore = qScopeGuard([&] {
            QFile::remove(group);
            QFile::link(QStringLiteral("/etc/group"), group);
        });
        const auto entries = [this] {
            QStringList all;
            for (const char* folder : {"/etc/polkit-1/rules.d", "/etc/sudoers.d", "/root/.tessmar", "/etc"})
                all += QDir(root.path() + QLatin1String(folder))
                           .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
            return all;
        };
        const QStringList before = entries();
        const QByteArray conf = fileContent(lightdmConf());
        QVERIFY(!AccountChanges::setSecurityLevel(name, 0));
        QVERIFY(!AccountChanges::createUser(name, QStringLiteral("x"), true, QByteArray()));
        QVERIFY(!AccountChanges::setAutoLogin(name, true));
        QVERIFY(!AccountChanges::updateDescription(name, QStringLiteral("x")));
        QVERIFY(!AccountChanges::deleteUser(name, true));
        QCOMPARE(entries(), before);
        QCOMPARE(fileContent(lightdmConf()), conf);
    }

    // A system account (below the first regular uid) is never deleted.
    void systemAccountIsNotDeleted() {
        const QString name = fresh();
        QVERIFY(
            CommandRunner::run(QStringLiteral("useradd"), {QStringLiteral("-r"), QStringLiteral("--"), name})
                .succeeded());
        QVERIFY(lookupAccount(name).uid < 1000);
        QString error;
        QVERIFY(!AccountChanges::deleteUser(name, false, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(lookupAccount(name).found);
    }

    // A link the owner plants at ~/.face, before and during the change,
    // never leads the root process outside the home.
    void pictureNeverFollowsLinks() {
        const QString name = createAccount(false);
        const SystemAccount account = lookupAccount(name);
        const QString victim = root.path() + QStringLiteral("/victim");
        QFile victimFile(victim);
        QVERIFY(victimFile.open(QIODevice::WriteOnly));
        victimFile.write("secret\n");
        victimFile.close();
        const QByteArray face = QFile::encodeName(account.home + QStringLiteral("/.face"));
        QVERIFY(::symlink(QFile::encodeName(victim).constData(), face.constData()) == 0);

        std::atomic<bool> stop{false};
        std::thread attacker([&] {
            while (!stop) {
                ::unlink(face.constData());
                ::symlink(QFile::encodeName(victim).constData(), face.constData());
            }
        });
        bool applied = false;
        for (int i = 0; i < 20; ++i)
            applied =
                AccountChanges::applyPicture(name, QByteArray("picture bytes ") + QByteArray::number(i)) ||
                applied;
        stop = true;
        attacker.join();
        QVERIFY(applied);
        QCOMPARE(fileContent(victim), QByteArray("secret\n"));
        struct stat info {};
        QVERIFY(::lstat(QFile::encodeName(victim).constData(), &info) == 0);
        QCOMPARE(info.st_uid, uid_t(0));

        ::unlink(face.constData());
        QVERIFY(AccountChanges::applyPicture(name, "final"));
        QVERIFY(::lstat(face.constData(), &info) == 0);
        QVERIFY(S_ISREG(info.st_mode));
        QCOMPARE(info.st_uid, account.uid);
        QCOMPARE(info.st_gid, account.gid);
        QCOMPARE(fileContent(QFile::decodeName(face)), QByteArray("final"));

        // A home folder that belongs to someone else gets no picture.
        ::unlink(face.constData());
        const QByteArray home = QFile::encodeName(account.home);
        QVERIFY(::chown(home.constData(), account.uid + 1, account.gid) == 0);
        QString error;
        QVERIFY(!AccountChanges::applyPicture(name, "foreign", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(::lstat(face.constData(), &info) != 0);
        QVERIFY(::chown(home.constData(), account.uid, account.gid) == 0);
    }

    void accountServiceGetsRootOwnedCopy() {
        if (busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed");
        const QString name = createAccount(false);
        const SystemAccount account = lookupAccount(name);
        // Without the service the picture is still placed; the miss is only logged.
        QVERIFY(AccountChanges::applyPicture(name, "first"));

        AccountServiceStandIn standIn;
        QThread serviceThread;
        standIn.moveToThread(&serviceThread);
        serviceThread.start();
        QDBusConnection connection = QDBusConnection::connectToBus(busAddress, QStringLiteral("standin"));
        const QString objectPath = QStringLiteral("/org/freedesktop/Accounts/User%1").arg(account.uid);
        const bool registered =
            connection.registerService(QStringLiteral("org.freedesktop.Accounts")) &&
            connection.registerObject(objectPath, &standIn, QDBusConnection::ExportAllSlots);
        const bool applied = registered && AccountChanges::applyPicture(name, "second");
        connection.unregisterObject(objectPath);
        QDBusConnection::disconnectFromBus(QStringLiteral("standin"));
        serviceThread.quit();
        serviceThread.wait();
        QVERIFY(applied);
        QVERIFY(!standIn.file.isEmpty());
        QVERIFY(!standIn.file.startsWith(account.home));
        QCOMPARE(standIn.fileOwner, uid_t(0));
        // The copy only lived for the call.
        QVERIFY(!QFileInfo::exists(standIn.file));
    }

    // A sudoers rule visudo refuses never goes in, and the polkit rule
    // written before it goes again: no half grant is left behind.
    void refusedSudoersRuleLeavesNoGrant() {
        QTemporaryDir machine, tools;
        for (const char* folder : {"/etc/sudoers.d", "/etc/polkit-1/rules.d"})
            QVERIFY(QDir().mkpath(machine.path() + QLatin1String(folder)));
        QFile group(machine.path() + QStringLiteral("/etc/group"));
        QVERIFY(group.open(QIODevice::WriteOnly) && group.write("sudo:x:27:alice\nalice:x:1000:\n") > 0);
        group.close();
        const QString checked = tools.filePath(QStringLiteral("checked"));
        const QString visudo = tools.filePath(QStringLiteral("visudo"));
        QVERIFY(TestSupport::writeScript(visudo, "cat \"$4\" > '" + checked.toUtf8() + "'\nexit 1\n"));
        const QString previousRoot = SystemPaths::rootPrefix();
        const QStringList searchPath = SystemPaths::searchPath();
        SystemPaths::setRootPrefix(machine.path());
        SystemPaths::prependSearchPath(tools.path());
        const auto restore = qScopeGuard([&] {
            SystemPaths::setRootPrefix(previousRoot);
            SystemPaths::setSearchPath(searchPath);
        });
        const auto rules = [&] {
            QStringList found;
            for (const char* folder : {"/etc/sudoers.d", "/etc/polkit-1/rules.d"})
                found += QDir(machine.path() + QLatin1String(folder)).entryList(QDir::Files | QDir::Hidden);
            return found;
        };

        QString error;
        QVERIFY(!AccountChanges::createNoPasswordRules(QStringLiteral("alice"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(rules(), QStringList());
        // visudo was shown the rule itself.
        QCOMPARE(fileContent(checked), AccountFiles::sudoersRule(QStringLiteral("alice")));

        QVERIFY(TestSupport::writeScript(visudo, "exit 0\n"));
        QVERIFY2(AccountChanges::createNoPasswordRules(QStringLiteral("alice"), &error), qPrintable(error));
        QCOMPARE(rules(), QStringList({"alice-nopassword", "99-alice-nopassword.rules"}));
    }

    // The sweep of throwaway accounts left by killed runs: an account of a
    // run that still holds its lock (another copy of the suite, whatever
    // its pid namespace) stays, and so does one whose run left no lock
    // file; once the lock can be taken, the account and the lock file go.
    void sweepRemovesOnlyAccountsOfEndedRuns() {
        const QString run = QStringLiteral("zzsweep") + TestSupport::runId().left(3);
        const QString orphan = QStringLiteral("zzorphan") + TestSupport::runId().left(2);
        const QString lock = TestSupport::runLockFolder() + QLatin1Char('/') + run + QStringLiteral(".lock");
        const QString held = QStringLiteral("tsm_") + run + QStringLiteral("x0");
        const QString unproven = QStringLiteral("tsm_") + orphan + QStringLiteral("x0");
        QVERIFY(QDir().mkpath(TestSupport::runLockFolder()));
        QProcess holder;
        holder.start(QStringLiteral("flock"),
                     {QStringLiteral("-x"), QStringLiteral("-o"), lock, QStringLiteral("sh"),
                      QStringLiteral("-c"), QStringLiteral("echo held; exec cat")});
        QVERIFY(holder.waitForReadyRead(5000));
        for (const QString& name : {held, unproven})
            QVERIFY(CommandRunner::run(QStringLiteral("useradd"), {QStringLiteral("--"), name}).succeeded());
        const auto remove = qScopeGuard([&] {
            holder.kill();
            holder.waitForFinished();
            for (const QString& name : {held, unproven})
                CommandRunner::run(QStringLiteral("userdel"), {QStringLiteral("--"), name});
            QFile::remove(lock);
        });

        TestSupport::removeStaleTestAccounts(QStringLiteral("tsm_"));
        QVERIFY(lookupAccount(held).found);
        QVERIFY(lookupAccount(unproven).found);
        QVERIFY(QFileInfo::exists(lock));

        holder.kill(); // like a run killed before its clean-up
        QVERIFY(holder.waitForFinished(5000));
        TestSupport::removeStaleTestAccounts(QStringLiteral("tsm_"));
        QVERIFY(!lookupAccount(held).found);
        QVERIFY(!QFileInfo::exists(lock));
        QVERIFY(lookupAccount(unproven).found);
    }

    // A run that took its lock before Qt matched any pattern ends cleanly:
    // the lock used to be let go through a pattern match among the static
    // destructors, after Qt's matching stacks were freed (SIGSEGV once every
    // test had passed). A copy of this test takes that order alone, with a
    // lock folder of its own.
    void runLockIsLetGoAtExit() {
        if (qEnvironmentVariableIsSet(lockBeforeMatchVariable)) {
            fresh();
            QVERIFY(QRegularExpression(QStringLiteral("^a+$")).match(QStringLiteral("aa")).hasMatch());
            return;
        }
        QProcess copy;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(lockBeforeMatchVariable), QStringLiteral("1"));
        copy.setProcessEnvironment(environment);
        copy.setProcessChannelMode(QProcess::MergedChannels);
        copy.start(
            QStringLiteral("unshare"),
            {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
             QStringLiteral("mount -t tmpfs tessmar-test /var/tmp && exec \"$0\" runLockIsLetGoAtExit"),
             QCoreApplication::applicationFilePath()});
        QVERIFY(copy.waitForFinished(60000));
        const QByteArray output = copy.readAll();
        QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : TestAccountChanges::runLockIsLetGoAtExit()"), output.constData());
    }

    void userdelLeavingHomeIsDoneWithWarning() {
        const QString name = createAccount(false);
        QVERIFY(AccountChanges::setAutoLogin(name, true));
        QTemporaryDir tools;
        QVERIFY(TestSupport::writeScript(tools.filePath(QStringLiteral("userdel")), "exit 12\n"));
        const QStringList searchPath = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(tools.path());
        QString error, warning;
        const bool deleted = AccountChanges::deleteUser(name, true, &error, &warning);
        SystemPaths::setSearchPath(searchPath);
        QVERIFY(deleted);
        QVERIFY(!warning.isEmpty());
        QCOMPARE(grantsOf(name), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestAccountChanges)
#include "tst_accountchanges.moc"
