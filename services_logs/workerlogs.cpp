#include "workerlogs.h"

#include "commandrunner.h"
#include "logparsers.h"
#include "systempaths.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcWorkerLogs, "tessmar.logs.worker", QtWarningMsg)

namespace {
const int ToolTimeoutMs = 10000;
} // namespace

WorkerLogs::WorkerLogs(QObject* parent) : QObject(parent), debianMajorVersion(getDebianMajorVersion()) {}

WorkerLogs::~WorkerLogs() = default;

int WorkerLogs::classifySeverity(const QString& message) {
    return LogParsers::classifySeverity(message);
}

int WorkerLogs::getDebianMajorVersion() {
    QFile file(SystemPaths::path(QStringLiteral("/etc/debian_version")));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return LogParsers::debianMajorVersion(file.read(4096));
}

bool WorkerLogs::readLog(Source source, const QString& path, QByteArray* text, QDate* lastChange) {
    QFile file(SystemPaths::path(path));
    if (!file.exists()) {
        qCDebug(lcWorkerLogs).noquote() << "Failed to open" << path;
        const bool writtenBySystemLogger = source == SysLog || source == AuthLog || source == KernLog;
        emit logUnavailable(source, writtenBySystemLogger
                                        ? tr("%1 does not exist: no system logger (such as rsyslog) "
                                             "writes it on this computer.")
                                              .arg(path)
                                        : tr("%1 does not exist on this computer.").arg(path));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Failed to open" << path << ":" << file.errorString();
        emit logUnavailable(source, tr("%1 cannot be read: %2").arg(path, file.errorString()));
        return false;
    }
    *text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qWarning().noquote() << "Failed to read" << path << ":" << file.errorString();
        emit logUnavailable(source, tr("%1 cannot be read: %2").arg(path, file.errorString()));
        return false;
    }
    if (lastChange)
        *lastChange = QFileInfo(file).lastModified().date();
    return true;
}

namespace {
LogParsers::TextLogContext textContext(int debianMajor, const QDate& lastChange) {
    LogParsers::TextLogContext context;
    context.preferred = LogParsers::preferredFormat(debianMajor);
    const QDate reference = lastChange.isValid() ? lastChange : QDate::currentDate();
    context.referenceYear = reference.year();
    context.referenceMonth = reference.month();
    return context;
}
} // namespace

void WorkerLogs::fetchSysLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchSyslog!";
    QByteArray text;
    QDate lastChange;
    if (!readLog(SysLog, QStringLiteral("/var/log/syslog"), &text, &lastChange))
        return;
    const QList<DetailsLogsSysLog> records =
        LogParsers::parseSysLog(text, textContext(debianMajorVersion, lastChange));
    text.clear();
    qCDebug(lcWorkerLogs) << "Number of items in log: " << records.size();
    emit sysLogUpdated(records);
}

void WorkerLogs::fetchAuthLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchAuthLog!";
    QByteArray text;
    QDate lastChange;
    if (!readLog(AuthLog, QStringLiteral("/var/log/auth.log"), &text, &lastChange))
        return;
    const QList<DetailsLogsAuthLog> records =
        LogParsers::parseAuthLog(text, textContext(debianMajorVersion, lastChange));
    text.clear();
    qCDebug(lcWorkerLogs) << "Number of items in auth.log: " << records.size();
    emit authLogUpdated(records);
}

void WorkerLogs::fetchKernLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchKernLog!";
    QByteArray text;
    QDate lastChange;
    if (!readLog(KernLog, QStringLiteral("/var/log/kern.log"), &text, &lastChange))
        return;
    const QList<DetailsLogsKernLog> records =
        LogParsers::parseKernLog(text, textContext(debianMajorVersion, lastChange));
    text.clear();
    qCDebug(lcWorkerLogs) << "Number of items in kern.log: " << records.size();
    emit kernLogUpdated(records);
}

void WorkerLogs::fetchDmesgLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchDmesgLog!";
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    const CommandResult result = CommandRunner::run(QStringLiteral("dmesg"), {}, options);
    if (!result.succeeded()) {
        emit logUnavailable(DmesgLog, tr("The kernel messages cannot be read: %1")
                                          .arg(result.describeFailure(QStringLiteral("dmesg"))));
        return;
    }
    const QList<DetailsLogsDmesgLog> records = LogParsers::parseDmesg(result.standardOutput);
    qCDebug(lcWorkerLogs) << "Number of items in dmesg log: " << records.size();
    emit dmesgLogUpdated(records);
}

void WorkerLogs::fetchBootLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchBootLog!";
    QByteArray text;
    if (!readLog(BootLog, QStringLiteral("/var/log/boot.log"), &text))
        return;
    const QList<DetailsLogsBootLog> records = LogParsers::parseBootLog(text);
    qCDebug(lcWorkerLogs) << "Number of items in boot.log: " << records.size();
    emit bootLogUpdated(records);
}

void WorkerLogs::fetchFailLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchFailLog!";
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    const CommandResult faillog =
        CommandRunner::run(QStringLiteral("faillog"), {QStringLiteral("-a")}, options);
    const CommandResult last =
        faillog.succeeded()
            ? CommandRunner::run(QStringLiteral("last"),
                                 {QStringLiteral("-F"), QStringLiteral("-w"), QStringLiteral("-R"),
                                  QStringLiteral("-f"), SystemPaths::path(QStringLiteral("/var/log/wtmp"))},
                                 options)
            : CommandResult();
    // In the C locale who prints "Mar  3 09:12" without a year; C.UTF-8 gives
    // "2025-03-03 09:12" and is present on every system.
    CommandOptions whoOptions = options;
    whoOptions.extraEnvironment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const CommandResult who =
        last.succeeded()
            ? CommandRunner::run(QStringLiteral("who"), {SystemPaths::path(QStringLiteral("/var/run/utmp"))},
                                 whoOptions)
            : CommandResult();
    const std::pair<const CommandResult*, QString> runs[] = {{&faillog, QStringLiteral("faillog")},
                                                             {&last, QStringLiteral("last")},
                                                             {&who, QStringLiteral("who")}};
    // Each tool runs only after the one before it succeeded, so the first
    // failure met here is one that ran.
    for (const auto& [result, program] : runs) {
        if (!result->succeeded()) {
            qWarning().noquote() << "Failed to run" << program << "command!";
            emit logUnavailable(
                FailLog, tr("The login records cannot be read: %1").arg(result->describeFailure(program)));
            return;
        }
    }

    QFile passwd(SystemPaths::path(QStringLiteral("/etc/passwd")));
    if (!passwd.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Failed to open /etc/passwd:" << passwd.errorString();
        emit logUnavailable(FailLog, tr("/etc/passwd cannot be read: %1").arg(passwd.errorString()));
        return;
    }
    const QHash<QString, int> ids = LogParsers::parsePasswdIds(passwd.readAll());
    const QList<DetailsLogsFailLog> records = LogParsers::buildLoginSummary(
        LogParsers::parseFaillog(faillog.standardOutput), LogParsers::parseLast(last.standardOutput, ids),
        ids, LogParsers::parseWho(who.standardOutput), QDateTime::currentDateTime());
    qCDebug(lcWorkerLogs) << "Number of human users with login data:" << records.size();
    emit failLogUpdated(records);
}

void WorkerLogs::fetchDpkgLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchDpkgLog!";
    QByteArray text;
    if (!readLog(DpkgLog, QStringLiteral("/var/log/dpkg.log"), &text))
        return;
    const QList<DetailsLogsDpkgLog> records = LogParsers::parseDpkgLog(text);
    qCDebug(lcWorkerLogs) << "Number of items in dpkg.log: " << records.size();
    emit dpkgLogUpdated(records);
}

void WorkerLogs::fetchFlatpakLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchFlatpakLog!";
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    const CommandResult result =
        CommandRunner::run(QStringLiteral("flatpak"), {QStringLiteral("history")}, options);
    if (!result.started) {
        emit logUnavailable(FlatpakLog, tr("Flatpak is not installed on this computer."));
        return;
    }
    // A run cut off by the time limit still shows what it printed.
    if (!result.succeeded() && !(result.timedOut && !result.standardOutput.isEmpty())) {
        emit logUnavailable(FlatpakLog, tr("The Flatpak history cannot be read: %1")
                                            .arg(result.describeFailure(QStringLiteral("flatpak"))));
        return;
    }
    if (result.standardOutput.trimmed().isEmpty()) {
        qCDebug(lcWorkerLogs) << "Failed to retrieve flatpak history.";
        emit logUnavailable(FlatpakLog, tr("Flatpak has no history on this computer."));
        return;
    }
    const QList<DetailsLogsFlatpakLog> records = LogParsers::parseFlatpakHistory(result.standardOutput);
    qCDebug(lcWorkerLogs) << "Number of items in flatpak history:" << records.size();
    emit flatpakLogUpdated(records);
}
