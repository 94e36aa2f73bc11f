#include "systempaths.h"
#include "workerusers.h"

#include <QTemporaryDir>
#include <QtTest>

// The per-user settings file under a temporary root, so the real
// /root/.tessmar is never touched.
class TestSecurityLevel : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    QString folder() const { return root.path() + QStringLiteral("/root/.tessmar"); }
    QString settingsFile(const QString& user) const { return folder() + QStringLiteral("/settings_") + user; }
    static int accountLevel(const QString& name) {
        DetailsUser user;
        user.username = name;
        return WorkerUsers::getSecurityLevel(user);
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        SystemPaths::setRootPrefix(root.path());
    }
    void init() { QVERIFY(QDir(root.path() + QStringLiteral("/root")).removeRecursively()); }
    void cleanupTestCase() {
        qunsetenv("SUDO_USER");
        SystemPaths::setRootPrefix(QString());
    }

    // No invoking user, or one whose name could leave the folder (the names
    // refused are tested with the settings path): level 2 and nothing
    // created. Reading another account's level never creates.
    void unusualUserCreatesNothing_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("unset") << QByteArray();
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("path separator") << QByteArray("../../tmp/x");
    }
    void unusualUserCreatesNothing() {
        QFETCH(QByteArray, name);
        if (name.isNull())
            qunsetenv("SUDO_USER");
        else
            qputenv("SUDO_USER", name);
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
        QCOMPARE(accountLevel(QString::fromUtf8(name)), 2);
        QCOMPARE(accountLevel(QStringLiteral("carol")), 2);
        QVERIFY(!QFileInfo::exists(folder()));
    }

    void firstRunCreatesFolderAndFile() {
        qputenv("SUDO_USER", "alice");
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
        QFile file(settingsFile(QStringLiteral("alice")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("security_level=2\n"));
    }

    // Both readers read one exact first line: only "security_level=0" skips
    // authentication; anything unexpected is the safe level 2.
    void readsFirstLine_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("level");
        QTest::newRow("zero") << QByteArray("security_level=0\n") << 0;
        QTest::newRow("zero written twice") << QByteArray("security_level=00\n") << 2;
        QTest::newRow("no final newline") << QByteArray("security_level=1") << 1;
        QTest::newRow("out of range") << QByteArray("security_level=7\n") << 2;
        QTest::newRow("description first") << QByteArray("description=Kitchen PC\nsecurity_level=0\n") << 2;
        QTest::newRow("leading blank") << QByteArray(" security_level=0\n") << 2;
        QTest::newRow("trailing blank") << QByteArray("security_level=0 \n") << 2;
        QTest::newRow("not a number") << QByteArray("security_level=low\n") << 2;
        QTest::newRow("empty file") << QByteArray() << 2;
    }
    void readsFirstLine() {
        QFETCH(QByteArray, content);
        QFETCH(int, level);
        QVERIFY(QDir().mkpath(folder()));
        QFile file(settingsFile(QStringLiteral("bob")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        qputenv("SUDO_USER", "bob");
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), level);
        QCOMPARE(accountLevel(QStringLiteral("bob")), level);
        // Reading never rewrites the file.
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }
};

QTEST_GUILESS_MAIN(TestSecurityLevel)
#include "tst_securitylevel.moc"
