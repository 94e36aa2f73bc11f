#include "commandrunner.h"

#include "systempaths.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QProcess>
#include <QStandardPaths>

#include <atomic>

namespace {
std::atomic<bool> abortRequested{false};

// How often a waiting run looks at the abort flag.
constexpr int kAbortPollMs = 20;

// Waits for the process to finish, or until the deadline or an abort.
// Returns true when it finished.
bool waitUnlessAborted(QProcess& process, const QDeadlineTimer& deadline, bool* aborted) {
    while (!deadline.hasExpired()) {
        if (abortRequested.load()) {
            *aborted = true;
            return false;
        }
        const qint64 left = deadline.remainingTime();
        const int slice = int(qMin<qint64>(left < 0 ? kAbortPollMs : left, kAbortPollMs));
        if (process.waitForFinished(qMax(slice, 1)))
            return true;
        if (process.state() == QProcess::NotRunning)
            return true;
    }
    return false;
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
        qWarning().noquote() << result.describeFailure(program);
        return result;
    }

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), SystemPaths::searchPath().join(QLatin1Char(':')));
    if (options.cLocale) {
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    }
    const QStringList extraKeys = options.extraEnvironment.keys();
    for (const QString& key : extraKeys)
        environment.insert(key, options.extraEnvironment.value(key));
    process.setProcessEnvironment(environment);
    if (!options.workingDirectory.isEmpty())
        process.setWorkingDirectory(options.workingDirectory);

    const QDeadlineTimer deadline(options.timeoutMs);
    process.start(executable, arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(options.timeoutMs)) {
        result.errorString = process.errorString();
        qWarning().noquote() << result.describeFailure(program);
        return result;
    }
    result.started = true;
    if (!options.input.isEmpty())
        process.write(options.input);
    process.closeWriteChannel();

    if (!waitUnlessAborted(process, deadline, &result.aborted)) {
        result.timedOut = !result.aborted;
        process.kill();
        process.waitForFinished(1000);
    }
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    result.crashed = !result.timedOut && !result.aborted && process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.errorString = process.errorString();
    if (!result.succeeded() && !result.aborted)
        qWarning().noquote() << result.describeFailure(program);
    return result;
}
