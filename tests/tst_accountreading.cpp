#include "accountqueries.h"
#include "loginrecords.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workerusers.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <lastlog.h>
#include <unistd.h>
#include <utmp.h>

// Accounts and groups read from a fixture tree, and the pictures in homes
// the accounts control.
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

    QList<DetailsUser> readUsers(bool showAll) {
        WorkerUsers worker;
        QSignalSpy spy(&worker, &WorkerUsers::userListUpdated);
        worker.requestSetShowAllUsers(showAll);
        return spy.isEmpty() ? QList<DetailsUser>() : spy.first().first().value<QList<DetailsUser>>();
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
    }

    void details() {
        const DetailsUser bob = WorkerUsers::getUserDetails(QStringLiteral("bob"));
        QVERIFY(bob.autoLogin);
        QCOMPARE(bob.groups.size(), 15);
        QCOMPARE(bob.groups.last(), QStringLiteral("bob"));
        // A six-field line is no account, but still gives its primary group.
        QCOMPARE(WorkerUsers::getUserDetails(QStringLiteral("short")).username, QString());
        QCOMPARE(WorkerUsers().getUserPrimaryGid(QStringLiteral("short")), 1002);
        QCOMPARE(WorkerUsers::getUserDetails(QStringLiteral("ghost")).uid, 0);
    }

    // ~/.face is read as a small file of the account's: somebody else's file
    // there is not shown, nor one past the size limit, whose start alone
    // would decode. (The safe reader's own rules, for FIFOs and links, are
    // tested with it.)
    void pictureInHome_data() {
        QTest::addColumn<int>("owner");
        QTest::addColumn<int>("padding");
        QTest::addColumn<bool>("shown");
        QTest::newRow("own picture") << 1000 << 0 << true;
        QTest::newRow("someone else's file") << 1001 << 0 << false;
        QTest::newRow("huge file") << 1000 << 2 * 1024 * 1024 << false;
    }
    void pictureInHome() {
        QFETCH(int, owner);
        QFETCH(int, padding);
        const QString face = home(QStringLiteral("alice")) + QStringLiteral("/.face");
        QImage red(32, 32, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(face, "PNG"));
        QFile file(face);
        QVERIFY(file.open(QIODevice::Append) && file.write(QByteArray(padding, 'x')) == padding);
        file.close();
        QVERIFY(::chown(QFile::encodeName(face).constData(), uid_t(owner), 1000) == 0);
        DetailsUser alice;
        alice.username = QStringLiteral("alice");
        alice.uid = 1000;
        const QImage shown = AccountQueries::picture(alice, home(QStringLiteral("alice")));
        QFile::remove(face);
        QTEST(!shown.isNull() && shown.pixelColor(63, 63) == QColor(Qt::red), "shown");
    }

    // The list comes first and each picture after it on its own, so that a
    // slow picture holds up no account; when the page is left, the pictures
    // not read yet are not read.
    void picturesFollowTheList() {
        const QString face = home(QStringLiteral("alice")) + QStringLiteral("/.face");
        QImage red(32, 32, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(face, "PNG"));
        QVERIFY(::chown(QFile::encodeName(face).constData(), 1000, 1000) == 0);
        const auto removeFace = qScopeGuard([&] { QFile::remove(face); });
        WorkerUsers worker;
        QSignalSpy lists(&worker, &WorkerUsers::userListUpdated);
        QSignalSpy pictures(&worker, &WorkerUsers::userPictureRead);
        worker.getUsers();
        QCOMPARE(lists.size(), 1);
        QCOMPARE(pictures.size(), 0);
        QTRY_COMPARE(pictures.size(), 1);
        const UserPicture read = pictures.first().first().value<UserPicture>();
        QCOMPARE(read.username, QStringLiteral("alice"));
        QCOMPARE(read.picture.pixelColor(63, 63), QColor(Qt::red));

        pictures.clear();
        worker.getUsers();
        worker.stopPictures();
        QCoreApplication::sendPostedEvents(&worker);
        QCOMPARE(lists.size(), 2);
        QCOMPARE(pictures.size(), 0);
    }

    // The login records are read no further than their first 16 MB: a login
    // past them is not seen, and a sparse file of gigabytes costs no more.
    void loginRecordsReadToTheirCap() {
        const QString path = root.path() + QStringLiteral("/var/run/utmp");
        QVERIFY(QDir().mkpath(root.path() + QStringLiteral("/var/run")));
        const auto login = [](const char* user) {
            struct utmp entry {};
            entry.ut_type = USER_PROCESS;
            entry.ut_pid = 1;
            std::strncpy(entry.ut_user, user, sizeof entry.ut_user);
            return QByteArray(reinterpret_cast<const char*>(&entry), sizeof entry);
        };
        {
            QFile utmp(path);
            QVERIFY(utmp.open(QIODevice::WriteOnly));
            utmp.write(login("alice"));
            const qint64 past =
                (LoginRecords::maxBytes / qint64(sizeof(struct utmp)) + 10) * sizeof(struct utmp);
            QVERIFY(utmp.seek(past));
            utmp.write(login("bob"));
            QVERIFY(utmp.resize(4LL * 1024 * 1024 * 1024));
        }
        const auto removeUtmp = qScopeGuard([&] { QFile::remove(path); });
        QVERIFY(WorkerUsers::getUserDetails(QStringLiteral("alice")).isLoggedIn);
        QVERIFY(!WorkerUsers::getUserDetails(QStringLiteral("bob")).isLoggedIn);
        const std::optional<QVector<LoginRecords::Login>> logins = LoginRecords::read(path);
        QVERIFY(logins && logins->size() == 1);
    }

    // A line with a NUL or with bytes that are not UTF-8 hides no other
    // account or group: the files are read with their lengths, not as C strings.
    void badLinesHideNothing_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("NUL") << QByteArray("ev\0il:x:1005:1005::/tmp:/bin/sh\n", 32);
        QTest::newRow("NUL alone") << QByteArray("\0\0\0\n", 4);
        QTest::newRow("Latin-1") << QByteArray("caf\xe9:x:1006:1006:Caf\xe9:/nonexistent:/bin/sh\n");
    }
    void badLinesHideNothing() {
        QFETCH(QByteArray, line);
        const QString etc = root.path() + QStringLiteral("/etc/");
        QMap<QString, QByteArray> original;
        for (const QString& name : {QStringLiteral("passwd"), QStringLiteral("group")}) {
            QFile file(etc + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            original.insert(name, file.readAll());
            file.close();
            // Before the second account and after the first, like a damaged middle.
            QByteArray text = original.value(name);
            text.insert(text.indexOf('\n', text.indexOf("alice")) + 1, line);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text);
        }
        const auto restore = qScopeGuard([&] {
            for (auto it = original.cbegin(); it != original.cend(); ++it) {
                QFile file(etc + it.key());
                file.open(QIODevice::WriteOnly | QIODevice::Truncate);
                file.write(it.value());
            }
        });
        QStringList names;
        for (const DetailsUser& user : readUsers(false))
            if (!user.username.startsWith(QLatin1String("caf")))
                names << user.username;
        QCOMPARE(names, (QStringList{"alice", "bob", "svc"}));
        QCOMPARE(WorkerUsers::getUserDetails(QStringLiteral("bob")).groups.size(), 15);
    }
};

QTEST_MAIN(TestAccountReading)
#include "tst_accountreading.moc"
