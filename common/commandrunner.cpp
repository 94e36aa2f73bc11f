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

// "4 MB", "64 KB", "100 bytes".
QString sizeText(qsizetype bytes) {
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

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
    if (outputTooLarge)
        return QStringLiteral("%1 %2; it was stopped").arg(program, errorString);
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

    // Each child leads a process group of its own, killed at every end of
    // the run, so whatever the tool started and left in its group (a shell's
    // children, a tool's helpers) ends with it. The child also dies with the
    // program, even one killed with SIGKILL; what it started then runs on
    // until it ends by itself (see ChildProcess).
    const QDeadlineTimer deadline(options.timeoutMs);
    ChildProcess process;
    process.maxOutputBytes = options.maxOutputBytes;
    process.maxErrorBytes = options.maxErrorBytes;
    if (!process.start(command, &result.errorString)) {
        logFailure(program, result.describeFailure(program));
        return result;
    }
    result.started = true;
    const ChildProcess::Outcome outcome = process.waitForExit(
        options.input, deadline, [] { return abortRequested.load(); }, kAbortPollMs);
    if (outcome != ChildProcess::Outcome::Exited) {
        result.aborted = outcome == ChildProcess::Outcome::Stopped;
        result.timedOut = outcome == ChildProcess::Outcome::TimedOut;
        result.outputTooLarge = outcome == ChildProcess::Outcome::OutputTooLarge;
        process.killGroup(1000);
    }
    if (result.outputTooLarge) {
        const bool errors = process.overflowed() == ChildProcess::Stream::Error;
        result.errorString =
            errors ? QStringLiteral("wrote more than %1 to its error output")
                         .arg(sizeText(options.maxErrorBytes))
                   : QStringLiteral("wrote more than %1 of output").arg(sizeText(options.maxOutputBytes));
    } else {
        result.standardOutput = process.standardOutput;
        result.standardError = process.standardError;
    }
    const bool cutShort = result.timedOut || result.aborted || result.outputTooLarge;
    result.crashed = !cutShort && process.crashed();
    // A crashed tool's status is the signal's number; never let it pass for
    // an exit status a caller reads as an answer.
    result.exitCode = result.crashed || cutShort ? -1 : process.exitCode();
    const bool answered = options.exitStatusIsAnswer && !cutShort && !result.crashed;
    if (result.succeeded() || answered)
        logFailure(program, QString());
    else if (!result.aborted)
        logFailure(program, result.describeFailure(program));
    return result;
}
