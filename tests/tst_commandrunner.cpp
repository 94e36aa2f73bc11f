#include "commandrunner.h"

#include <QtTest>

// The runner must never report a failure as success.
class TestCommandRunner : public QObject {
    Q_OBJECT
private slots:
    void reportsOutcome_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("succeeded");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("success") << "true" << QStringList() << true << true << 0;
        QTest::newRow("non-zero exit") << "sh" << QStringList{"-c", "exit 3"} << true << false << 3;
        QTest::newRow("missing program") << "/nonexistent/tool" << QStringList() << false << false << -1;
    }
    void reportsOutcome() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, started);
        QFETCH(bool, succeeded);
        QFETCH(int, exitCode);
        const CommandResult result = CommandRunner::run(program, arguments);
        QCOMPARE(result.started, started);
        QCOMPARE(result.succeeded(), succeeded);
        if (started)
            QCOMPARE(result.exitCode, exitCode);
        if (!succeeded)
            QVERIFY(!result.describeFailure(program).isEmpty());
    }

    void argumentsAreNotSplitByAShell() {
        const CommandResult result = CommandRunner::run("printf", {"%s|", "a b; echo injected", "$(id)"});
        QVERIFY(result.succeeded());
        QCOMPARE(result.outputText(), QString("a b; echo injected|$(id)|"));
    }

    void timeoutKillsAndFails() {
        CommandOptions options;
        options.timeoutMs = 200;
        const CommandResult result = CommandRunner::run("sleep", {"5"}, options);
        QVERIFY(result.timedOut);
        QVERIFY(!result.succeeded());
    }

    void cLocaleAndInputAndEnvironment() {
        CommandOptions options;
        options.input = "from stdin\n";
        options.extraEnvironment.insert("TESSMAR_PROBE", "42");
        const CommandResult result =
            CommandRunner::run("sh", {"-c", "cat; echo \"$LC_ALL $TESSMAR_PROBE\""}, options);
        QVERIFY(result.succeeded());
        QCOMPARE(result.outputText(), QString("from stdin\nC 42\n"));
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
