#include "commandrunner.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workerusers.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <lastlog.h>
#include <sys/stat.h>
#include <unistd.h>

// Accounts and groups read from a fixture tree, the pictures in homes the
// accounts control, and the live machine's accounts against getent.
class TestAccountReading : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    QString home(const QString& user) const { return root.path() + QStringLiteral("/home/") + user; }

    void copyFixture(const QString& name, const QString& target) {
        QFile source(TestSupport::testDataPath(QStringLiteral("users/") + name));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QByteArray text = source.readAll();
        text.replace("HOME", QFile::encodeName(root.path() + QStringLiteral("/home")));
        QVERIFY(QDir().mkpath(QFileInfo(root.path() + target).absolutePath()));
        QFile out(root.path() + target);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
    }

    static QByteArray redPng() {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

    QList<DetailsUser> readUsers(bool showAll) {
        WorkerUsers worker;
        QSignalSpy spy(&worker, &WorkerUsers::userListUpdated);
        worker.requestSetShowAllUsers(showAll);
        return spy.isEmpty() ? QList<DetailsUser>() : spy.first().first().value<QList<DetailsUser>>();
    }

    static bool isRed(const QIcon& icon) {
        return icon.pixmap(16, 16).toImage().pixelColor(8, 8) == QColor(Qt::red);
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        copyFixture(QStringLiteral("passwd"), QStringLiteral("/etc/passwd"));
        copyFixture(QStringLiteral("group"), QStringLiteral("/etc/group"));
        copyFixture(QStringLiteral("lightdm.conf"), QStringLiteral("/etc/lightdm/lightdm.conf"));
        // lastlog in the C library's record layout: alice logged in once, bob never.
        QVERIFY(QDir().mkpath(root.path() + QStringLiteral("/var/log")));
        QFile lastlog(root.path() + QStringLiteral("/var/log/lastlog"));
        QVERIFY(lastlog.open(QIODevice::WriteOnly));
        for (int uid = 0; uid <= 1001; ++uid) {
            struct lastlog entry;
            std::memset(&entry, 0, sizeof entry);
            entry.ll_time = uid == 1000 ? 1700000000 : 0;
            lastlog.write(reinterpret_cast<const char*>(&entry), sizeof entry);
        }
        lastlog.close();
        for (const char* user : {"alice", "bob", "short"})
            QVERIFY(QDir().mkpath(home(QString::fromLatin1(user))));
        QVERIFY(::chown(QFile::encodeName(home("alice")).constData(), 1000, 1000) == 0);
        SystemPaths::setRootPrefix(root.path());
    }
    void cleanupTestCase() { SystemPaths::setRootPrefix(QString()); }

    void listsRegularAccounts() {
        const QList<DetailsUser> users = readUsers(false);
        QStringList names;
        for (const DetailsUser& user : users)
            names << user.username;
        QCOMPARE(names, (QStringList{"alice", "bob", "svc"}));
        const DetailsUser alice = users.at(0);
        QCOMPARE(alice.userType, QStringLiteral("Administrator"));
        QVERIFY(alice.isOnlyAdministrator);
        QCOMPARE(alice.realName, QStringLiteral("Alice Liddell"));
        QVERIFY(alice.lastLoginTime.endsWith(QStringLiteral("2023")));
        QCOMPARE(users.at(1).userType, QStringLiteral("Regular user"));
        QCOMPARE(users.at(1).lastLoginTime, QStringLiteral("Never logged in"));
        QCOMPARE(users.at(2).userType, QStringLiteral("Service account"));
        QCOMPARE(users.at(2).securityLevel, 2);
        QCOMPARE(users.at(2).lastLoginTime, QStringLiteral("Error"));

        const QList<DetailsUser> all = readUsers(true);
        QCOMPARE(all.size(), 7);
        QCOMPARE(all.first().username, QStringLiteral("root"));
    }

    void details() {
        const DetailsUser bob = WorkerUsers::getUserDetails(QStringLiteral("bob"));
        QVERIFY(bob.autoLogin);
        QCOMPARE(bob.groups.size(), 15);
        QCOMPARE(bob.groups.last(), QStringLiteral("bob"));
        QCOMPARE(bob.description, QStringLiteral("No specific information available for this user."));
        QCOMPARE(WorkerUsers::getUserDetails(QStringLiteral("root")).description,
                 QStringLiteral("Superuser with full access to the system for administrative purposes."));
        // A six-field line is no account, but still gives its primary group.
        QCOMPARE(WorkerUsers::getUserDetails(QStringLiteral("short")).username, QString());
        QCOMPARE(WorkerUsers().getUserPrimaryGid(QStringLiteral("short")), 1002);
        QCOMPARE(WorkerUsers::getUserDetails(QStringLiteral("ghost")).uid, 0);
    }

    void groupsLockPrimaryAndSoleAdministrator() {
        WorkerUsers worker;
        QSignalSpy spy(&worker, &WorkerUsers::groupListUpdated);
        worker.getGroups(QStringLiteral("alice"));
        const auto groups = spy.first().first().value<QList<DetailsGroup>>();
        QMap<QString, DetailsGroup> byName;
        for (const DetailsGroup& group : groups)
            byName.insert(group.name, group);
        QVERIFY(byName["sudo"].isLocked && byName["sudo"].isMember);
        QVERIFY(byName["alice"].isLocked && byName["alice"].isMember);
        QVERIFY(!byName["audio"].isLocked && byName["audio"].isMember);
        QVERIFY(!byName["docker"].isMember);
        QCOMPARE(byName["docker"].description, QStringLiteral("User-defined group"));
        QCOMPARE(byName["nogroup"].description, QStringLiteral("Special group for unprivileged processes"));
    }

    // Whatever an account puts at ~/.face, reading it never blocks, never
    // follows a link and never reads more than a small picture.
    void pictureInHome_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("shown");
        QTest::newRow("own picture") << "picture" << true;
        QTest::newRow("fifo") << "fifo" << false;
        QTest::newRow("link to a picture") << "link" << false;
        QTest::newRow("link to /dev/zero") << "zero" << false;
        QTest::newRow("huge file") << "huge" << false;
        QTest::newRow("someone else's file") << "foreign" << false;
    }
    void pictureInHome() {
        QFETCH(QString, kind);
        QFETCH(bool, shown);
        const QString face = home(QStringLiteral("alice")) + QStringLiteral("/.face");
        QFile::remove(face);
        const QString picture = root.path() + QStringLiteral("/picture.png");
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(redPng());
        file.close();
        const QByteArray target = QFile::encodeName(face);
        if (kind == QLatin1String("picture") || kind == QLatin1String("foreign")) {
            QVERIFY(QFile::copy(picture, face));
            QVERIFY(::chown(target.constData(), kind == QLatin1String("picture") ? 1000 : 1001, 1000) == 0);
        } else if (kind == QLatin1String("fifo")) {
            QVERIFY(::mkfifo(target.constData(), 0644) == 0);
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(picture, face));
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), face));
        } else {
            QVERIFY(file.open(QIODevice::Append));
            file.write(QByteArray(2 * 1024 * 1024, 'x'));
            file.close();
            QVERIFY(QFile::copy(picture, face));
            QVERIFY(::chown(target.constData(), 1000, 1000) == 0);
        }
        DetailsUser alice;
        alice.username = QStringLiteral("alice");
        alice.uid = 1000;
        QCOMPARE(isRed(WorkerUsers::getUserIcon(alice, home(QStringLiteral("alice")))), shown);
        QFile::remove(face);
    }

    void liveAccountsMatchGetent() {
        SystemPaths::setRootPrefix(QString());
        const CommandResult passwd = CommandRunner::run(QStringLiteral("getent"), {QStringLiteral("passwd")});
        QVERIFY(passwd.succeeded());
        QStringList expected;
        for (const QString& line : passwd.outputText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (line.split(QLatin1Char(':')).size() >= 7)
                expected << line.section(QLatin1Char(':'), 0, 0);
        QStringList names;
        for (const DetailsUser& user : readUsers(true))
            names << user.username;
        QCOMPARE(names, expected);

        const CommandResult group = CommandRunner::run(QStringLiteral("getent"), {QStringLiteral("group")});
        QStringList expectedGroups;
        for (const QString& line : group.outputText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            expectedGroups << line.section(QLatin1Char(':'), 0, 0);
        WorkerUsers worker;
        QSignalSpy spy(&worker, &WorkerUsers::groupListUpdated);
        worker.getGroups(QStringLiteral("root"));
        QStringList groupNames;
        for (const DetailsGroup& details : spy.first().first().value<QList<DetailsGroup>>())
            groupNames << details.name;
        QCOMPARE(groupNames, expectedGroups);
        SystemPaths::setRootPrefix(root.path());
    }
};

QTEST_MAIN(TestAccountReading)
#include "tst_accountreading.moc"
