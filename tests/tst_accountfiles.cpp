#include "accountfiles.h"
#include "commandrunner.h"

#include <QtTest>

// The account files as text: types, administrators, automatic login, the
// program's settings file and the password-free rules.
class TestAccountFiles : public QObject {
    Q_OBJECT

private slots:
    // The group file defines every administrator group, or (the "missing"
    // rows) only those a Debian machine without a desktop has.
    void userType_data() {
        QTest::addColumn<int>("uid");
        QTest::addColumn<QStringList>("memberOf");
        QTest::addColumn<bool>("everyGroupDefined");
        QTest::addColumn<QString>("type");
        const QStringList standard = AccountFiles::standardGroups();
        const QStringList admin = AccountFiles::administratorGroups();
        const QStringList present{"audio", "video", "plugdev", "cdrom", "dialout", "dip", "floppy"};
        QTest::newRow("root") << 0 << admin << true << "Root account";
        QTest::newRow("system") << 999 << admin << true << "System account";
        QTest::newRow("service") << 65000 << admin << true << "Service account";
        QTest::newRow("standard plus own group")
            << 1000 << standard + QStringList{"alice"} << true << "Regular user";
        QTest::newRow("own group only") << 1000 << QStringList{"alice"} << true << "Regular user";
        QTest::newRow("one more") << 64999 << standard + QStringList{"docker"} << true << "Regular user (c)";
        QTest::newRow("one fewer") << 1000 << QStringList(standard.mid(1)) << true << "Regular user (c)";
        QTest::newRow("administrator") << 1000 << admin << true << "Administrator";
        QTest::newRow("sudo alone") << 1000 << QStringList{"sudo"} << true << "Administrator (c)";
        QTest::newRow("missing groups, regular") << 1000 << present << false << "Regular user";
        QTest::newRow("missing groups, administrator")
            << 1000 << present + QStringList{"sudo", "adm"} << false << "Administrator";
        QTest::newRow("missing groups, sudo alone")
            << 1000 << QStringList{"sudo"} << false << "Administrator (c)";
    }
    void userType() {
        QFETCH(int, uid);
        QFETCH(QStringList, memberOf);
        QFETCH(bool, everyGroupDefined);
        QString text = QStringLiteral("root:x:0:\nalice:x:1000:\ndocker:x:1500:\n");
        int gid = 2000;
        const QStringList defined = everyGroupDefined
                                        ? AccountFiles::administratorGroups()
                                        : QStringList{"audio", "video",  "plugdev", "cdrom", "dialout",
                                                      "dip",   "floppy", "sudo",    "adm"};
        for (const QString& group : defined)
            text += QStringLiteral("%1:x:%2:other%3\n")
                        .arg(group)
                        .arg(gid++)
                        .arg(memberOf.contains(group) ? QStringLiteral(",alice") : QString());
        if (memberOf.contains(QStringLiteral("docker")))
            text.replace(QStringLiteral("docker:x:1500:"), QStringLiteral("docker:x:1500:alice"));
        QTEST(AccountFiles::userType(uid, QStringLiteral("alice"), AccountFiles::parseGroup(text)), "type");
    }

    // adduser puts every new account in "users" too (Debian 12's
    // adduser.conf sets nothing, so its defaults hold): that says nothing of
    // the type, whatever the configuration names.
    void everyonesGroups_data() {
        QTest::addColumn<QString>("conf");
        QTest::addColumn<QStringList>("everyones");
        QTest::newRow("Debian 12") << "# Default: USERS_GID=undefined, USERS_GROUP=users\n#USERS_GID=100\n"
                                      "#USERS_GROUP=users\n#EXTRA_GROUPS=\"users\"\n#ADD_EXTRA_GROUPS=0\n"
                                   << QStringList{"users"};
        QTest::newRow("another group") << "USERS_GROUP = staff\n" << QStringList{"staff"};
        QTest::newRow("by gid") << "USERS_GID=50\n" << QStringList{"staff"};
        QTest::newRow("extra groups") << "ADD_EXTRA_GROUPS=1\nEXTRA_GROUPS=\"users audio sudo nosuch\"\n"
                                      << QStringList{"audio", "users"};
        QTest::newRow("extra groups off") << "EXTRA_GROUPS='audio'\n" << QStringList{"users"};
    }
    void everyonesGroups() {
        QFETCH(QString, conf);
        QFETCH(QStringList, everyones);
        const QList<GroupEntry> groups = AccountFiles::parseGroup(QStringLiteral(
            "sudo:x:27:\naudio:x:29:alice\nstaff:x:50:alice\nusers:x:100:alice\nalice:x:1000:\n"));
        const QSet<QString> found = AccountFiles::everyonesGroups(conf, groups);
        QStringList names(found.begin(), found.end());
        names.sort();
        QCOMPARE(names, everyones);
        // Left out of the type: own group and "users" is a plain regular user.
        QCOMPARE(AccountFiles::userType(1000, QStringLiteral("alice"),
                                        AccountFiles::parseGroup(QStringLiteral("users:x:100:alice\n")),
                                        AccountFiles::everyonesGroups(QString(), groups)),
                 QStringLiteral("Regular user"));
    }

    void shortLinesAndSoleAdministrator() {
        const auto passwd = AccountFiles::parsePasswd(
            QStringLiteral(
                "root:x:0:0:root:/root:/bin/bash\nshort:x:1001:1001:S,1,2:/home/short\nbob:x:1002:1002\nx:y\n"
                "evil") +
            QChar(0) + QStringLiteral(":x:0:0::/root:/bin/sh\n"));
        QCOMPARE(passwd.size(), 3);
        QCOMPARE(passwd.at(1).fieldCount, 6);
        QCOMPARE(passwd.at(1).realName(), QStringLiteral("S"));
        const auto oneAdmin = AccountFiles::parseGroup(QStringLiteral("sudo:x:27:bob,root\n"));
        QVERIFY(AccountFiles::isOnlyAdministrator(QStringLiteral("bob"), passwd, oneAdmin));
        // nobody (65534) in sudo is no person who could administer.
        const auto withNobody = AccountFiles::parsePasswd(QStringLiteral(
            "bob:x:1002:1002::/home/bob:/bin/sh\nnobody:x:65534:65534::/nonexistent:/bin/sh\n"));
        QVERIFY(AccountFiles::isOnlyAdministrator(
            QStringLiteral("bob"), withNobody,
            AccountFiles::parseGroup(QStringLiteral("sudo:x:27:bob,nobody\n"))));
        const auto twoAdmins = AccountFiles::parseGroup(QStringLiteral("sudo:x:27:bob,short\n"));
        QVERIFY(!AccountFiles::isOnlyAdministrator(QStringLiteral("bob"), passwd, twoAdmins));
        QCOMPARE(AccountFiles::userGroups(QStringLiteral("bob"), 1002,
                                          AccountFiles::parseGroup(QStringLiteral(
                                              "sudo:x:27:bob\nbob:x:1002:\nother:x:5:alice\n"))),
                 (QStringList{"sudo", "bob"}));
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
        QTEST(AccountFiles::autoLoginNames(conf, QStringLiteral("alice")), "names");
    }

    void autoLoginRewrites() {
        QCOMPARE(
            AccountFiles::withAutoLogin(QStringLiteral("[Seat:*]\n#autologin-user=\nx=1\n"), "alice", true),
            QStringLiteral("[Seat:*]\nautologin-user=alice\nx=1\n"));
        QCOMPARE(AccountFiles::withAutoLogin(QStringLiteral("autologin-user=alice\n"), "alice", false),
                 QStringLiteral("#autologin-user=\n"));
        // Switching off one account never touches another account's line.
        QCOMPARE(AccountFiles::withAutoLogin(QStringLiteral("autologin-user=bob\n"), "alice", false),
                 QStringLiteral("autologin-user=bob\n"));
    }

    void settingsRewrites() {
        QCOMPARE(AccountFiles::withSecurityLevel(QStringLiteral("description=a\n"), 0),
                 QStringLiteral("security_level=0\ndescription=a\n"));
        // A line break in a description cannot forge a level line.
        const QString forged = AccountFiles::withDescription(QStringLiteral("security_level=2\n"),
                                                             QStringLiteral("x\nsecurity_level=0"));
        QCOMPARE(AccountFiles::securityLevelFrom(forged), 2);
        QCOMPARE(forged.count(QLatin1Char('\n')), 2);
        // A new full name keeps the room and telephone parts of the field.
        QCOMPARE(AccountFiles::withRealName(QStringLiteral("Alice,Room 1,,"), QStringLiteral("Bob")),
                 QStringLiteral("Bob,Room 1,,"));
        QVERIFY(!AccountFiles::isAcceptableRealName(QStringLiteral("Smith, John")));
    }

    void accountNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "alice_2-b" << true;
        QTest::newRow("underscore first") << "_svc" << true;
        QTest::newRow("leading dash") << "-rf" << false;
        QTest::newRow("digits") << "1234" << false;
        QTest::newRow("capital") << "Alice" << false;
        QTest::newRow("33 chars") << QString(33, QLatin1Char('a')) << false;
        QTest::newRow("32 chars") << QString(32, QLatin1Char('a')) << true;
        QTest::newRow("final line break") << "alice\n" << false;
    }
    void accountNames() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(AccountFiles::isValidAccountName(name), valid);
        QCOMPARE(AccountFiles::accountNameProblem(name).isEmpty(), valid);
    }

    // Group names handed to usermod: any letter case and a machine's '$', no
    // option, no line break.
    void groupNames() {
        QVERIFY(AccountFiles::isPlainGroupName(QStringLiteral("Domain.Users$")));
        for (const char* refused : {"-G", "sudo\n", "sudo$\n", "a b"})
            QVERIFY2(!AccountFiles::isPlainGroupName(QLatin1String(refused)), refused);
    }

    void passwords() {
        QVERIFY(AccountFiles::isAcceptablePassword(QStringLiteral("a b'\"$;")));
        for (const QString& refused :
             {QStringLiteral("x\nroot:x"), QStringLiteral("x\r"), QStringLiteral("x") + QChar(0)})
            QVERIFY(!AccountFiles::isAcceptablePassword(refused));
    }

    // The rule runs in node with a small polkit stand-in: only the named user is granted.
    void polkitRuleGrantsOnlyThatUser() {
        if (CommandRunner::resolveProgram(QStringLiteral("node")).isEmpty())
            QSKIP("node is not installed");
        CommandOptions options;
        options.input = "const rules = [];\n"
                        "const polkit = { Result: { YES: 'yes' }, addRule: f => rules.push(f) };\n" +
                        AccountFiles::polkitRule(QStringLiteral("demo")) +
                        "const ask = u => rules[0]({}, { user: u }) === 'yes';\n"
                        "process.stdout.write([ask('demo'), ask('demo2'), ask('other')].join(','));\n";
        const CommandResult result = CommandRunner::run(QStringLiteral("node"), {}, options);
        QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
        QCOMPARE(result.outputText(), QStringLiteral("true,false,false"));
        QCOMPARE(AccountFiles::javaScriptString(QStringLiteral("a'b\\")),
                 QStringLiteral("'a\\u0027b\\u005c'"));
    }
};

QTEST_GUILESS_MAIN(TestAccountFiles)
#include "tst_accountfiles.moc"
