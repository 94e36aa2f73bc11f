#include "commandrunner.h"
#include "systempaths.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {
int warnings = 0;
QtMessageHandler previousHandler = nullptr;

char readStateOf(const QString& statPath) {
    QFile file(statPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = file.readAll();
    const int close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line.at(close + 2) : 0;
}

void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg)
        ++warnings;
    previousHandler(type, context, message);
}
} // namespace

// The runner must never report a failure as success.
class TestCommandRunner : public QObject {
    Q_OBJECT
private slots:
    void reportsOutcome_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("succeeded");
        QTest::addColumn<bool>("crashed");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("success") << "true" << QStringList() << true << true << false << 0;
        QTest::newRow("non-zero exit") << "sh" << QStringList{"-c", "exit 3"} << true << false << false << 3;
        QTest::newRow("missing program")
            << "/nonexistent/tool" << QStringList() << false << false << false << -1;
        QTest::newRow("timed out") << "sleep" << QStringList{"5"} << true << false << false << -1;
        // Its answer is cut short, and SIGHUP's number would read as exit status 1.
        QTest::newRow("crashed after printing")
            << "sh" << QStringList{"-c", "echo answer; kill -HUP $$"} << true << false << true << -1;
    }
    void reportsOutcome() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, started);
        QFETCH(bool, succeeded);
        QFETCH(bool, crashed);
        QFETCH(int, exitCode);
        for (const bool statusIsAnswer : {false, true}) {
            CommandOptions options;
            options.timeoutMs = 1000;
            options.exitStatusIsAnswer = statusIsAnswer;
            const CommandResult result = CommandRunner::run(program, arguments, options);
            QCOMPARE(result.started, started);
            QCOMPARE(result.succeeded(), succeeded);
            QCOMPARE(result.timedOut, program == "sleep");
            QCOMPARE(result.crashed, crashed);
            QCOMPARE(result.exitCode, exitCode);
            if (!succeeded)
                QVERIFY(!result.describeFailure(program).isEmpty());
        }
    }

    // After a time-out nothing the tool started is left running, not even a
    // child of it that ignores SIGTERM.
    void timedOutRunLeavesNothingBehind() {
        CommandOptions options;
        options.timeoutMs = 500;
        const CommandResult result =
            CommandRunner::run("sh", {"-c", "trap '' TERM; sleep 30 & echo $$ $!; wait"}, options);
        QVERIFY(result.timedOut);
        const QStringList pids = result.outputText().split(' ', Qt::SkipEmptyParts);
        QCOMPARE(pids.size(), 2);
        for (const QString& pid : pids) {
            const QString stat = "/proc/" + pid.trimmed() + "/stat";
            // Gone, or a zombie waiting for its new parent to reap it.
            QTRY_VERIFY2(!QFileInfo::exists(stat) || readStateOf(stat) == 'Z', qPrintable(pid));
        }
    }

    void argumentsAreNotSplitByAShell() {
        const CommandResult result = CommandRunner::run("printf", {"%s|", "a b; echo injected", "$(id)"});
        QVERIFY(result.succeeded());
        QCOMPARE(result.outputText(), QString("a b; echo injected|$(id)|"));
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

    // Programs come from the fixed search path, never from the inherited PATH,
    // and the child sees that search path as its own PATH.
    void programsComeFromTheSystemSearchPath() {
        QTemporaryDir userBin;
        QVERIFY(userBin.isValid());
        QVERIFY(TestSupport::writeScript(userBin.filePath("tessmar-planted"), "echo planted\n"));
        qputenv("PATH", userBin.path().toUtf8() + ":" + qgetenv("PATH"));

        const CommandResult hidden = CommandRunner::run("tessmar-planted", {});
        QVERIFY(!hidden.started);
        QVERIFY(!hidden.succeeded());

        const QStringList saved = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(userBin.path());
        const CommandResult standIn = CommandRunner::run("tessmar-planted", {});
        const CommandResult path = CommandRunner::run("sh", {"-c", "echo $PATH"});
        SystemPaths::setSearchPath(saved);
        QCOMPARE(standIn.outputText(), QString("planted\n"));
        QVERIFY(path.outputText().startsWith(userBin.path() + ":/usr/local/sbin:"));
    }

    // A status the caller reads as its answer is no failure to log; the
    // same status is one otherwise, said once while it repeats (a tool on a
    // timer), and again after a run that worked.
    void failuresAreLoggedOnce() {
        previousHandler = qInstallMessageHandler(countWarnings);
        CommandOptions answer;
        answer.exitStatusIsAnswer = true;
        const CommandResult noMatch = CommandRunner::run("sh", {"-c", "exit 1"}, answer);
        const int afterAnswer = warnings;
        for (int tick = 0; tick < 3; ++tick)
            CommandRunner::run("sh", {"-c", "exit 1"});
        const int afterRepeats = warnings;
        CommandRunner::run("sh", {"-c", "exit 0"});
        CommandRunner::run("sh", {"-c", "exit 1"});
        qInstallMessageHandler(previousHandler);
        QVERIFY(!noMatch.succeeded());
        QCOMPARE(afterAnswer, 0);
        QCOMPARE(afterRepeats, 1);
        QCOMPARE(warnings, 2);
    }

    // Quitting ends a running child at once, and nothing starts afterwards.
    void abortEndsRunningChildrenAndLaterRuns() {
        CommandResult ended;
        QScopedPointer<QThread> worker(
            QThread::create([&ended] { ended = CommandRunner::run("sleep", {"30"}); }));
        worker->start();
        const QString self = QString::number(QCoreApplication::applicationPid());
        QTRY_VERIFY(CommandRunner::run("pgrep", {"-P", self, "-x", "sleep"}).succeeded());
        CommandRunner::abortAll();
        QVERIFY(worker->wait(5000));
        const CommandResult later = CommandRunner::run("true", {});
        CommandRunner::resetAbort();
        QVERIFY(ended.started && ended.aborted);
        QVERIFY(!ended.succeeded());
        QVERIFY(later.aborted && !later.started);
        QVERIFY(CommandRunner::run("true", {}).succeeded());
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
