#include "commandrunner.h"

#include <QDebug>
#include <QProcess>

QString CommandResult::describeFailure(const QString& program) const {
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

CommandResult CommandRunner::run(const QString& program, const QStringList& arguments,
                                 const CommandOptions& options) {
    CommandResult result;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
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

    process.start(program, arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(options.timeoutMs)) {
        result.errorString = process.errorString();
        qWarning().noquote() << result.describeFailure(program);
        return result;
    }
    result.started = true;
    if (!options.input.isEmpty())
        process.write(options.input);
    process.closeWriteChannel();

    if (!process.waitForFinished(options.timeoutMs)) {
        result.timedOut = true;
        process.kill();
        process.waitForFinished(1000);
    }
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    result.crashed = !result.timedOut && process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.errorString = process.errorString();
    if (!result.succeeded())
        qWarning().noquote() << result.describeFailure(program);
    return result;
}
