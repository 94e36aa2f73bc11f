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

    void writeSettings(const QString& user, const QByteArray& content) {
        QVERIFY(QDir().mkpath(folder()));
        QFile file(settingsFile(user));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
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

    void withoutSudoUserNothingIsCreated() {
        qunsetenv("SUDO_USER");
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
        qputenv("SUDO_USER", "");
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
        QVERIFY(!QFileInfo::exists(folder()));
    }

    void firstRunCreatesFolderAndFile() {
        qputenv("SUDO_USER", "alice");
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
        QFile file(settingsFile(QStringLiteral("alice")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("security_level=2\n"));
        // A second run reads what the first one wrote.
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
    }

    void unusualUserNameCreatesNothing_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("path separator") << QByteArray("../../tmp/x");
        QTest::newRow("dot dot") << QByteArray("..");
        QTest::newRow("blank") << QByteArray("a b");
    }
    void unusualUserNameCreatesNothing() {
        QFETCH(QByteArray, name);
        qputenv("SUDO_USER", name);
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
        QVERIFY(!QFileInfo::exists(folder()));
        DetailsUser user;
        user.username = QString::fromUtf8(name);
        QCOMPARE(WorkerUsers::getSecurityLevel(user), 2);
    }

    // Both readers on the same file read one exact line: anything unexpected,
    // a level out of range included, is the safe level 2.
    void readsFirstLine_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("sudoUserLevel");
        QTest::addColumn<int>("accountLevel");
        QTest::newRow("zero") << QByteArray("security_level=0\n") << 0 << 0;
        QTest::newRow("leading zero") << QByteArray("security_level=01\n") << 1 << 1;
        QTest::newRow("out of range") << QByteArray("security_level=7\n") << 2 << 2;
        QTest::newRow("no final newline") << QByteArray("security_level=1") << 1 << 1;
        QTest::newRow("description first")
            << QByteArray("description=Kitchen PC\nsecurity_level=0\n") << 2 << 2;
        QTest::newRow("leading blank") << QByteArray(" security_level=0\n") << 2 << 2;
        QTest::newRow("trailing blank") << QByteArray("security_level=1 \n") << 2 << 2;
        QTest::newRow("not a number") << QByteArray("security_level=low\n") << 2 << 2;
        QTest::newRow("empty value") << QByteArray("security_level=\n") << 2 << 2;
        QTest::newRow("empty file") << QByteArray() << 2 << 2;
    }
    void readsFirstLine() {
        QFETCH(QByteArray, content);
        QFETCH(int, sudoUserLevel);
        QFETCH(int, accountLevel);
        writeSettings(QStringLiteral("bob"), content);
        qputenv("SUDO_USER", "bob");
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), sudoUserLevel);
        DetailsUser user;
        user.username = QStringLiteral("bob");
        QCOMPARE(WorkerUsers::getSecurityLevel(user), accountLevel);
        // Reading never rewrites the file.
        QFile file(settingsFile(QStringLiteral("bob")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }

    void accountReaderNeverCreates() {
        DetailsUser user;
        user.username = QStringLiteral("carol");
        QCOMPARE(WorkerUsers::getSecurityLevel(user), 2);
        QVERIFY(!QFileInfo::exists(settingsFile(QStringLiteral("carol"))));
    }

    void unwritableFolderGivesDefault() {
        // A plain file where the folder should be: nothing can be created.
        QVERIFY(QDir().mkpath(root.path() + QStringLiteral("/root")));
        QFile blocker(folder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("SUDO_USER", "dave");
        QCOMPARE(WorkerUsers::getSudoUserSecurityLevel(), 2);
        QVERIFY(QFileInfo(folder()).isFile());
    }
};

QTEST_GUILESS_MAIN(TestSecurityLevel)
#include "tst_securitylevel.moc"
