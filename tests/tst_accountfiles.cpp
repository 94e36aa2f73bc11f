#include "accountfiles.h"
#include "commandrunner.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <lastlog.h>

// The account files as text: types, last logins, automatic login, the
// program's settings file and the password-free rules.
class TestAccountFiles : public QObject {
    Q_OBJECT

    static QString groupFile(const QString& user, const QStringList& memberOf) {
        QString text = QStringLiteral("root:x:0:\n%1:x:1000:\n").arg(user);
        int gid = 2000;
        for (const QString& group : memberOf)
            text += QStringLiteral("%1:x:%2:other,%3\n").arg(group).arg(gid++).arg(user);
        return text;
    }

    static QByteArray lastlogRecord(qint64 when) {
        struct lastlog entry;
        std::memset(&entry, 0, sizeof entry);
        entry.ll_time = decltype(entry.ll_time)(when);
        std::strcpy(entry.ll_line, "pts/0");
        return QByteArray(reinterpret_cast<const char*>(&entry), sizeof entry);
    }

private slots:
    void userType_data() {
        QTest::addColumn<int>("uid");
        QTest::addColumn<QStringList>("memberOf");
        QTest::addColumn<QString>("type");
        const QStringList standard = AccountFiles::standardGroups();
        const QStringList admin = AccountFiles::administratorGroups();
        QTest::newRow("root") << 0 << admin << "Root account";
        QTest::newRow("system") << 999 << admin << "System account";
        QTest::newRow("negative") << -5 << QStringList() << "System account";
        QTest::newRow("service") << 65000 << admin << "Service account";
        QTest::newRow("standard") << 1000 << standard << "Regular user";
        QTest::newRow("standard plus own group") << 1000 << standard + QStringList{"alice"} << "Regular user";
        QTest::newRow("one more") << 64999 << standard + QStringList{"docker"} << "Regular user (c)";
        QTest::newRow("only own group") << 1000 << QStringList() << "Regular user";
        QTest::newRow("administrator") << 1000 << admin << "Administrator";
        QTest::newRow("sudo alone") << 1000 << QStringList{"sudo"} << "Administrator (c)";
    }
    void userType() {
        QFETCH(int, uid);
        QFETCH(QStringList, memberOf);
        QFETCH(QString, type);
        const auto groups = AccountFiles::parseGroup(groupFile(QStringLiteral("alice"), memberOf));
        QCOMPARE(AccountFiles::userType(uid, QStringLiteral("alice"), groups), type);
    }

    void shortLinesAndSoleAdministrator() {
        const auto passwd = AccountFiles::parsePasswd(QStringLiteral(
            "root:x:0:0:root:/root:/bin/bash\nshort:x:1001:1001:S,1,2:/home/short\nbob:x:1002:1002\nx:y\n"));
        QCOMPARE(passwd.size(), 3);
        QCOMPARE(passwd.at(1).fieldCount, 6);
        QCOMPARE(passwd.at(1).realName(), QStringLiteral("S"));
        const auto oneAdmin = AccountFiles::parseGroup(QStringLiteral("sudo:x:27:bob,root\n"));
        QVERIFY(AccountFiles::isOnlyAdministrator(QStringLiteral("bob"), passwd, oneAdmin));
        const auto twoAdmins = AccountFiles::parseGroup(QStringLiteral("sudo:x:27:bob,short\n"));
        QVERIFY(!AccountFiles::isOnlyAdministrator(QStringLiteral("bob"), passwd, twoAdmins));
        QCOMPARE(AccountFiles::countAdministrators(passwd, twoAdmins), 2);
        QCOMPARE(AccountFiles::userGroups(QStringLiteral("bob"), 1002,
                                          AccountFiles::parseGroup(QStringLiteral(
                                              "sudo:x:27:bob\nbob:x:1002:\nother:x:5:alice\n"))),
                 (QStringList{"sudo", "bob"}));
    }

    void lastLogin() {
        QCOMPARE(AccountFiles::lastLoginText(lastlogRecord(0)), QStringLiteral("Never logged in"));
        const QByteArray record = lastlogRecord(1700000000);
        QVERIFY(AccountFiles::lastLoginText(record).endsWith(QStringLiteral("2023")));
        QCOMPARE(AccountFiles::lastLoginText(record.left(record.size() - 1)), QStringLiteral("Error"));
    }

    void autoLogin_data() {
        QTest::addColumn<QString>("conf");
        QTest::addColumn<bool>("names");
        QTest::newRow("commented") << "[Seat:*]\n#autologin-user=alice\n" << false;
        QTest::newRow("blanks around value") << "[Seat:*]\nautologin-user=  alice  \n" << true;
        QTest::newRow("blank before =") << "[Seat:*]\nautologin-user =alice\n" << false;
        QTest::newRow("other user") << "[Seat:*]\nautologin-user=bob\n" << false;
    }
    void autoLogin() {
        QFETCH(QString, conf);
        QFETCH(bool, names);
        QCOMPARE(AccountFiles::autoLoginNames(conf, QStringLiteral("alice")), names);
    }

    void autoLoginRewrites() {
        const QString seat = QStringLiteral("[Seat:*]\n#autologin-user=\nx=1\n");
        QCOMPARE(AccountFiles::withAutoLogin(seat, "alice", true),
                 QStringLiteral("[Seat:*]\nautologin-user=alice\nx=1\n"));
        QCOMPARE(AccountFiles::withAutoLogin(QStringLiteral("[Seat:*]\n"), "alice", true),
                 QStringLiteral("[Seat:*]\nautologin-user=alice\n"));
        QCOMPARE(AccountFiles::withAutoLogin(QStringLiteral("autologin-user=alice\n"), "alice", false),
                 QStringLiteral("#autologin-user=\n"));
        // Switching off one account never touches another account's line.
        QCOMPARE(AccountFiles::withAutoLogin(QStringLiteral("autologin-user=bob\n"), "alice", false),
                 QStringLiteral("autologin-user=bob\n"));
    }

    void settingsLevel_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("level");
        QTest::newRow("zero") << "security_level=0\n" << 0;
        QTest::newRow("one") << "security_level=1\nx\n" << 1;
        QTest::newRow("leading zero is not zero") << "security_level=00\n" << 2;
        QTest::newRow("out of range") << "security_level=7\n" << 2;
        QTest::newRow("trailing blank") << "security_level=0 \n" << 2;
        QTest::newRow("leading blank") << " security_level=0\n" << 2;
        QTest::newRow("second line") << "description=x\nsecurity_level=0\n" << 2;
        QTest::newRow("empty") << "" << 2;
    }
    void settingsLevel() {
        QFETCH(QString, text);
        QFETCH(int, level);
        QCOMPARE(AccountFiles::securityLevelFrom(text), level);
    }

    void settingsRewrites() {
        QCOMPARE(AccountFiles::withSecurityLevel(QStringLiteral("description=a\n"), 0),
                 QStringLiteral("security_level=0\ndescription=a\n"));
        QCOMPARE(AccountFiles::withSecurityLevel(QStringLiteral("security_level=2\nsecurity_level=1\n"), 1),
                 QStringLiteral("security_level=1\nsecurity_level=1\n"));
        QCOMPARE(AccountFiles::withDescription(QStringLiteral("security_level=1\n"), QString()),
                 QStringLiteral("security_level=1\ndescription=\n"));
        // A line break in a description cannot forge a level line.
        const QString forged = AccountFiles::withDescription(QStringLiteral("security_level=2\n"),
                                                             QStringLiteral("x\nsecurity_level=0"));
        QCOMPARE(AccountFiles::securityLevelFrom(forged), 2);
        QCOMPARE(forged.count(QLatin1Char('\n')), 2);
    }

    void accountNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "alice_2-b" << true;
        QTest::newRow("underscore first") << "_svc" << true;
        QTest::newRow("leading dash") << "-rf" << false;
        QTest::newRow("digits") << "1234" << false;
        QTest::newRow("capital") << "Alice" << false;
        QTest::newRow("quote") << "a'b" << false;
        QTest::newRow("33 chars") << QString(33, QLatin1Char('a')) << false;
        QTest::newRow("32 chars") << QString(32, QLatin1Char('a')) << true;
    }
    void accountNames() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(AccountFiles::isValidAccountName(name), valid);
        QCOMPARE(AccountFiles::accountNameProblem(name).isEmpty(), valid);
    }

    void passwords() {
        QVERIFY(AccountFiles::isAcceptablePassword(QStringLiteral("a b'\"$;")));
        QVERIFY(!AccountFiles::isAcceptablePassword(QStringLiteral("x\nroot:x")));
        QVERIFY(!AccountFiles::isAcceptablePassword(QStringLiteral("x\r")));
        QVERIFY(!AccountFiles::isAcceptablePassword(QStringLiteral("x") + QChar(0)));
    }

    // The rule runs in node with a small polkit stand-in: only the named user is granted.
    void polkitRuleGrantsOnlyThatUser() {
        if (CommandRunner::resolveProgram(QStringLiteral("node")).isEmpty())
            QSKIP("node is not installed");
        const QByteArray stub =
            "const rules = [];\n"
            "const polkit = { Result: { YES: 'yes' }, addRule: f => rules.push(f) };\n" +
            AccountFiles::polkitRule(QStringLiteral("demo")) +
            "const ask = u => rules[0]({}, { user: u }) === 'yes';\n"
            "process.stdout.write([ask('demo'), ask('demo2'), ask('other')].join(','));\n";
        CommandOptions options;
        options.input = stub;
        const CommandResult result = CommandRunner::run(QStringLiteral("node"), {}, options);
        QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
        QCOMPARE(result.outputText(), QStringLiteral("true,false,false"));
        QCOMPARE(AccountFiles::javaScriptString(QStringLiteral("a'b\\")),
                 QStringLiteral("'a\\u0027b\\u005c'"));
    }

    void sudoersRulePassesVisudo() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("rule")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(AccountFiles::sudoersRule(QStringLiteral("demo")));
        file.close();
        const CommandResult result = CommandRunner::run(
            QStringLiteral("visudo"), {QStringLiteral("-c"), QStringLiteral("-f"), file.fileName()});
        QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
    }
};

QTEST_GUILESS_MAIN(TestAccountFiles)
#include "tst_accountfiles.moc"
