#include "commandrunner.h"

#include "childprocess.h"
#include "systempaths.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

#include <atomic>

namespace {
std::atomic<bool> abortRequested{false};

// How often a waiting run looks at the abort flag.
constexpr int kAbortPollMs = 20;

// Logs a failure unless it repeats the last one logged for the program: a
// tool run on a timer that is missing or keeps failing is reported once, not
// on every tick, and again after it has worked in between.
void logFailure(const QString& program, const QString& failure) {
    static QMutex mutex;
    static QHash<QString, QString> lastLogged;
    QMutexLocker lock(&mutex);
    if (failure.isEmpty()) {
        lastLogged.remove(program);
        return;
    }
    QString& last = lastLogged[program];
    if (last == failure)
        return;
    last = failure;
    lock.unlock();
    qWarning().noquote() << failure;
}
} // namespace

QString CommandResult::describeFailure(const QString& program) const {
    if (aborted)
        return QStringLiteral("%1 was ended because the program is quitting").arg(program);
    if (!started)
        return QStringLiteral("%1 could not be started: %2").arg(program, errorString);
    if (timedOut)
        return QStringLiteral("%1 did not finish in time").arg(program);
    if (crashed)
        return QStringLiteral("%1 ended abnormally").arg(program);
    const QString details = errorText().trimmed();
    if (details.isEmpty())
        return QStringLiteral("%1 exited with %2").arg(program).arg(exitCode);
    return QStringLiteral("%1 exited with %2: %3").arg(program).arg(exitCode).arg(details);
}

QString CommandRunner::resolveProgram(const QString& program) {
    if (program.isEmpty())
        return QString();
    if (program.contains(QLatin1Char('/')))
        return program;
    return QStandardPaths::findExecutable(program, SystemPaths::searchPath());
}

void CommandRunner::abortAll() {
    abortRequested.store(true);
}

bool CommandRunner::isAborted() {
    return abortRequested.load();
}

void CommandRunner::resetAbort() {
    abortRequested.store(false);
}

CommandResult CommandRunner::run(const QString& program, const QStringList& arguments,
                                 const CommandOptions& options) {
    CommandResult result;
    if (abortRequested.load()) {
        result.aborted = true;
        return result;
    }
    const QString executable = resolveProgram(program);
    if (executable.isEmpty()) {
        result.errorString =
            QStringLiteral("not found in %1").arg(SystemPaths::searchPath().join(QLatin1Char(':')));
        logFailure(program, result.describeFailure(program));
        return result;
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), SystemPaths::searchPath().join(QLatin1Char(':')));
    if (options.cLocale) {
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    }
    const QStringList extraKeys = options.extraEnvironment.keys();
    for (const QString& key : extraKeys)
        environment.insert(key, options.extraEnvironment.value(key));

    ChildProcess::Command command;
    command.executable = QFile::encodeName(executable);
    command.argv.append(command.executable);
    for (const QString& argument : arguments)
        command.argv.append(argument.toLocal8Bit());
    const QStringList variables = environment.toStringList();
    for (const QString& variable : variables)
        command.environment.append(variable.toLocal8Bit());
    command.workingDirectory = QFile::encodeName(options.workingDirectory);

    // Each child leads a process group of its own, so that ending it on a
    // time-out or at quit also ends whatever it started (a shell's children,
    // a tool's helpers): nothing it began outlives the run.
    const QDeadlineTimer deadline(options.timeoutMs);
    ChildProcess process;
    if (!process.start(command, &result.errorString)) {
        logFailure(program, result.describeFailure(program));
        return result;
    }
    result.started = true;
    const ChildProcess::Outcome outcome = process.waitForExit(
        options.input, deadline, [] { return abortRequested.load(); }, kAbortPollMs);
    if (outcome != ChildProcess::Outcome::Exited) {
        result.aborted = outcome == ChildProcess::Outcome::Stopped;
        result.timedOut = !result.aborted;
        process.killGroup(1000);
    }
    result.standardOutput = process.standardOutput;
    result.standardError = process.standardError;
    result.crashed = !result.timedOut && !result.aborted && process.crashed();
    // A crashed tool's status is the signal's number; never let it pass for
    // an exit status a caller reads as an answer.
    result.exitCode = result.crashed || result.timedOut || result.aborted ? -1 : process.exitCode();
    const bool answered = options.exitStatusIsAnswer && !result.timedOut && !result.crashed;
    if (result.succeeded() || answered)
        logFailure(program, QString());
    else if (!result.aborted)
        logFailure(program, result.describeFailure(program));
    return result;
}
