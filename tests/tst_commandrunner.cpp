#include "commandrunner.h"
#include "systempaths.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Set to a token in the environment of a copy of this test that only runs
// tools until it is killed; every child it makes inherits the token.
const char* const toolRunnerVariable = "TESSMAR_TEST_TOOL_RUNNER";

// The copy's life: two workers wait in long tools, six start short ones
// back to back, so that a kill also meets children between fork and exec.
[[noreturn]] void runToolsUntilKilled() {
    for (int i = 0; i < 8; ++i) {
        QThread::create([i] {
            for (;;)
                CommandRunner::run(i < 2 ? "sleep" : "true", i < 2 ? QStringList{"60"} : QStringList());
        })->start();
    }
    for (;;)
        ::pause();
}

// Set, in the environment of a copy of this test, to a time (CLOCK_MONOTONIC,
// in ms) from which the copy writes to its standard output without pause,
// faster than its reader: vmsplice hands the pipe its pages without copying
// them, into a pipe of a megabyte, refilled as soon as there is room by a
// real-time writer, so the reader seldom finds the pipe empty.
const char* const floodVariable = "TESSMAR_TEST_FLOOD_AT";

[[noreturn]] void floodFrom(qint64 startMs) {
    ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1024 * 1024);
    const sched_param realTime{1};
    ::sched_setscheduler(0, SCHED_FIFO, &realTime);
    const timespec start{time_t(startMs / 1000), long(startMs % 1000) * 1000000};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &start, nullptr) == EINTR) {
    }
    static char block[1024 * 1024];
    const iovec pages{block, sizeof block};
    while (::vmsplice(STDOUT_FILENO, &pages, 1, 0) > 0) {
    }
    ::_exit(0);
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

    // A run that ends leaves nothing of its process group behind either: a
    // background child still holding the output pipe ends with the tool.
    void endedRunLeavesNothingInItsGroup() {
        const CommandResult result = CommandRunner::run("sh", {"-c", "sleep 30 & echo $!"});
        QVERIFY(result.succeeded());
        const QString stat = "/proc/" + result.outputText().trimmed() + "/stat";
        QTRY_VERIFY2(!QFileInfo::exists(stat) || readStateOf(stat) == 'Z', qPrintable(stat));
    }

    // A tool that floods either output is ended at its limit and the run
    // fails in words, holding no more than a few times the limit meanwhile
    // (the buffer's growth, and the sanitizer's quarantine where it runs).
    void floodIsStoppedAtTheLimit_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("output") << QByteArray("exec yes\n")
                                << "tessmar-flood wrote more than 4 MB of output; it was stopped"
                                << qint64(CommandOptions().maxOutputBytes);
        QTest::newRow("error output")
            << QByteArray("exec yes >&2\n")
            << "tessmar-flood wrote more than 1 MB to its error output; it was stopped"
            << qint64(CommandOptions().maxErrorBytes);
    }
    void floodIsStoppedAtTheLimit() {
        QFETCH(QByteArray, script);
        QFETCH(QString, failure);
        QFETCH(qint64, limit);
        QTemporaryDir tools;
        QVERIFY(TestSupport::writeScript(tools.filePath("tessmar-flood"), script));
        CommandOptions options;
        options.timeoutMs = 20000;
        TestSupport::resetPeakMemory();
        const qint64 before = TestSupport::peakMemory();
        const CommandResult result = CommandRunner::run(tools.filePath("tessmar-flood"), {}, options);
        const qint64 peak = TestSupport::peakMemory();
        QVERIFY(result.outputTooLarge);
        QVERIFY(!result.succeeded() && !result.timedOut && !result.crashed);
        QCOMPARE(result.exitCode, -1);
        QCOMPARE(result.describeFailure("tessmar-flood"), failure);
        QVERIFY(result.standardOutput.isEmpty() && result.standardError.isEmpty());
        QVERIFY2(peak - before < 8 * limit, qPrintable(QString::number(peak - before)));
    }

    // However fast a tool writes, its deadline holds: it is ended on time,
    // what it wrote so far kept, far below a limit that reading on until
    // the pipe was empty would reach. The writer starts just before the
    // deadline, so that little is read.
    void writerWithoutPauseKeepsItsDeadline() {
        CommandOptions options;
        options.timeoutMs = 1500;
        options.maxOutputBytes = 128 * 1024 * 1024;
        timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const qint64 floodAt = qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + options.timeoutMs - 20;
        options.extraEnvironment.insert(floodVariable, QString::number(floodAt));
        const CommandResult result = CommandRunner::run(QCoreApplication::applicationFilePath(), {}, options);
        QVERIFY(result.timedOut);
        QVERIFY(!result.outputTooLarge);
        QVERIFY(!result.standardOutput.isEmpty());
    }

    // No descriptor of the program reaches a tool, not even one opened
    // without close-on-exec (by a library, say).
    void toolsInheritNoDescriptor() {
        QTemporaryDir folder;
        const QByteArray path = QFile::encodeName(folder.filePath("tessmar-leak-probe"));
        const int opened = ::open(path.constData(), O_CREAT | O_RDWR, 0600);
        QVERIFY(opened >= 0);
        const int high = ::fcntl(opened, F_DUPFD, 200);
        const CommandResult result = CommandRunner::run("ls", {"-l", "/proc/self/fd/"});
        ::close(opened);
        ::close(high);
        QVERIFY(result.succeeded());
        QVERIFY2(!result.standardOutput.contains("tessmar-leak-probe"), result.standardOutput.constData());
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

    // A program killed with SIGKILL while its tools run leaves none of its
    // children behind: not a tool waiting in its work, not a copy of the
    // program that had not reached exec yet.
    void childrenEndWithAKilledProgram() {
        std::mt19937 random(std::random_device{}());
        for (int round = 0; round < 10; ++round) {
            const QByteArray token =
                QByteArray(toolRunnerVariable) + '=' + TestSupport::uniqueName("runner").toUtf8();
            std::vector<char*> environment{const_cast<char*>(token.constData())};
            for (char** variable = environ; *variable; ++variable)
                environment.push_back(*variable);
            environment.push_back(nullptr);
            const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
            char* const arguments[] = {const_cast<char*>(self.constData()), nullptr};
            pid_t runner = -1;
            QCOMPARE(
                ::posix_spawn(&runner, self.constData(), nullptr, nullptr, arguments, environment.data()), 0);
            // Whatever is left is ended, so that a failure leaves nothing behind either.
            const auto cleanup = qScopeGuard([&] {
                if (runner > 0 && ::kill(runner, SIGKILL) == 0)
                    ::waitpid(runner, nullptr, 0);
                for (const QString& pid : TestSupport::processesWithEnvironmentEntry(token))
                    ::kill(pid.toInt(), SIGKILL);
            });
            const auto sleeping = [&] {
                const QStringList pids = TestSupport::processesWithEnvironmentEntry(token);
                return std::count_if(pids.begin(), pids.end(), [](const QString& pid) {
                    QFile comm("/proc/" + pid + "/comm");
                    return comm.open(QIODevice::ReadOnly) && comm.readAll() == "sleep\n";
                });
            };
            QVERIFY(TestSupport::waitFor([&] { return sleeping() == 2; }));
            QThread::usleep(std::uniform_int_distribution<unsigned>(0, 20000)(random));
            QCOMPARE(::kill(runner, SIGKILL), 0);
            QCOMPARE(::waitpid(runner, nullptr, 0), runner);
            runner = -1;
            QVERIFY2(TestSupport::waitFor(
                         [&] { return TestSupport::processesWithEnvironmentEntry(token).isEmpty(); }, 3000),
                     qPrintable(TestSupport::processesWithEnvironmentEntry(token).join(' ')));
        }
    }
};

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet(toolRunnerVariable))
        runToolsUntilKilled();
    if (qEnvironmentVariableIsSet(floodVariable))
        floodFrom(qgetenv(floodVariable).toLongLong());
    QCoreApplication app(argc, argv);
    TestCommandRunner test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_commandrunner.moc"
