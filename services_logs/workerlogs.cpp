#include "workerlogs.h"

#include "boundedfilereader.h"
#include "commandrunner.h"
#include "logparsers.h"
#include "systempaths.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>

Q_LOGGING_CATEGORY(lcWorkerLogs, "tessmar.logs.worker", QtWarningMsg)

namespace {
const int ToolTimeoutMs = 10000;

QMutex limitsMutex;
LogFileReader::Limits currentLimits;
} // namespace

WorkerLogs::WorkerLogs(QObject* parent) : QObject(parent), debianMajorVersion(getDebianMajorVersion()) {}

WorkerLogs::~WorkerLogs() = default;

int WorkerLogs::classifySeverity(const QString& message) {
    return LogParsers::classifySeverity(message);
}

void WorkerLogs::setLimits(const LogFileReader::Limits& limits) {
    QMutexLocker lock(&limitsMutex);
    currentLimits = limits;
}

LogFileReader::Limits WorkerLogs::limits() {
    QMutexLocker lock(&limitsMutex);
    return currentLimits;
}

int WorkerLogs::getDebianMajorVersion() {
    const BoundedFileRead read =
        readBoundedRegularFile(SystemPaths::path(QStringLiteral("/etc/debian_version")), 4096, true);
    return read.status == BoundedFileRead::Ok ? LogParsers::debianMajorVersion(read.data) : -1;
}

void WorkerLogs::reportMissing(Source source, const QString& path) {
    qCDebug(lcWorkerLogs).noquote() << "Failed to open" << path;
    const bool writtenBySystemLogger = source == SysLog || source == AuthLog || source == KernLog;
    emit logUnavailable(source, writtenBySystemLogger
                                    ? tr("%1 does not exist: no system logger (such as rsyslog) "
                                         "writes it on this computer.")
                                          .arg(path)
                                    : tr("%1 does not exist on this computer.").arg(path));
}

namespace {
QString leftOutNote(const QString& path, qint64 leftOut, const LogFileReader::Limits& limits) {
    return WorkerLogs::tr(
               "Only the newest lines of %1 are shown: %L2 older lines were left out (a page keeps "
               "at most %L3 lines and %L4 MB).")
        .arg(path)
        .arg(leftOut)
        .arg(limits.maxLines)
        .arg(limits.maxBytes >> 20);
}
} // namespace

void WorkerLogs::fetchTextLog(Source source, const QString& path) {
    const LogFileReader::Limits limits = WorkerLogs::limits();
    LogParsers::TextLogContext context;
    context.preferred = LogParsers::preferredFormat(debianMajorVersion);
    const LogParsers::TextLog log = source == SysLog    ? LogParsers::TextLog::SysLog
                                    : source == AuthLog ? LogParsers::TextLog::AuthLog
                                                        : LogParsers::TextLog::KernLog;
    LogParsers::TextLogBuilder builder(log, context);
    int shownPercent = -1;
    const LogFileReader::Result read = LogFileReader::read(
        SystemPaths::path(path), limits,
        [&](qint64 lines, qint64 bytes) { builder.reserve(int(lines), bytes); },
        [&](const char* line, int size) { builder.addLine(line, size); },
        [&](qint64 done, qint64 total) {
            const int percent = total > 0 ? int(done * 100 / total) : 100;
            if (percent != shownPercent) {
                shownPercent = percent;
                emit loadProgress(source, percent, builder.rowCount());
            }
        },
        &cancelled);
    switch (read.status) {
    case LogFileReader::Result::Aborted:
        return;
    case LogFileReader::Result::Missing:
        reportMissing(source, path);
        return;
    case LogFileReader::Result::Failed:
        qWarning().noquote() << "Failed to read" << path << ":" << read.error;
        emit logUnavailable(source, tr("%1 cannot be read: %2").arg(path, read.error));
        return;
    case LogFileReader::Result::Ok:
        break;
    }
    // Month-name times carry no year: the newest is of the file's last change.
    const QDate reference = read.lastModified.isValid() ? read.lastModified.date() : QDate::currentDate();
    builder.setReference(reference.year(), reference.month());
    const LogTablePtr table = builder.finish();
    qCDebug(lcWorkerLogs) << "Number of items in" << path << ":" << table->rowCount();
    emit textLogRead(source, table);
    if (read.leftOutLines > 0)
        emit logNote(source, leftOutNote(path, read.leftOutLines, limits));
}

void WorkerLogs::fetchSysLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchSyslog!";
    fetchTextLog(SysLog, QStringLiteral("/var/log/syslog"));
}

void WorkerLogs::fetchAuthLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchAuthLog!";
    fetchTextLog(AuthLog, QStringLiteral("/var/log/auth.log"));
}

void WorkerLogs::fetchKernLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchKernLog!";
    fetchTextLog(KernLog, QStringLiteral("/var/log/kern.log"));
}

bool WorkerLogs::readLog(Source source, const QString& path, QByteArray* text) {
    const LogFileReader::Limits limits = WorkerLogs::limits();
    const LogFileReader::Result read = LogFileReader::read(
        SystemPaths::path(path), limits,
        [&](qint64, qint64 bytes) { text->reserve(int(qMin<qint64>(bytes, limits.maxBytes) + 1)); },
        [&](const char* line, int size) {
            text->append(line, size);
            text->append('\n');
        },
        nullptr, &cancelled);
    switch (read.status) {
    case LogFileReader::Result::Aborted:
        return false;
    case LogFileReader::Result::Missing:
        reportMissing(source, path);
        return false;
    case LogFileReader::Result::Failed:
        qWarning().noquote() << "Failed to read" << path << ":" << read.error;
        emit logUnavailable(source, tr("%1 cannot be read: %2").arg(path, read.error));
        return false;
    case LogFileReader::Result::Ok:
        break;
    }
    if (read.leftOutLines > 0)
        emit logNote(source, leftOutNote(path, read.leftOutLines, limits));
    return true;
}

void WorkerLogs::fetchDmesgLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchDmesgLog!";
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    const CommandResult result = CommandRunner::run(QStringLiteral("dmesg"), {}, options);
    if (result.aborted)
        return;
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
    // In the C locale who prints "Mar  3 09:12" without a year; C.UTF-8 gives
    // "2025-03-03 09:12" and is present on every system.
    CommandOptions whoOptions = options;
    whoOptions.extraEnvironment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // Each tool tells its own columns: one that fails leaves the others.
    const CommandResult faillog =
        CommandRunner::run(QStringLiteral("faillog"), {QStringLiteral("-a")}, options);
    const CommandResult last =
        CommandRunner::run(QStringLiteral("last"),
                           {QStringLiteral("-F"), QStringLiteral("-w"), QStringLiteral("-R"),
                            QStringLiteral("-f"), SystemPaths::path(QStringLiteral("/var/log/wtmp"))},
                           options);
    const CommandResult who = CommandRunner::run(
        QStringLiteral("who"), {SystemPaths::path(QStringLiteral("/var/run/utmp"))}, whoOptions);
    if (faillog.aborted || last.aborted || who.aborted)
        return;

    const BoundedFileRead passwd =
        readBoundedRegularFile(SystemPaths::path(QStringLiteral("/etc/passwd")), 64 * 1024 * 1024, true);
    if (passwd.status != BoundedFileRead::Ok) {
        qWarning().noquote() << "Failed to open /etc/passwd:" << passwd.error;
        emit logUnavailable(FailLog, tr("/etc/passwd cannot be read: %1").arg(passwd.error));
        return;
    }
    QStringList failures;
    const std::pair<const CommandResult*, QString> runs[] = {{&faillog, QStringLiteral("faillog")},
                                                             {&last, QStringLiteral("last")},
                                                             {&who, QStringLiteral("who")}};
    for (const auto& [result, program] : runs) {
        if (!result->succeeded()) {
            qWarning().noquote() << "Failed to run" << program << "command!";
            failures << result->describeFailure(program);
        }
    }
    if (failures.size() == 3) {
        emit logUnavailable(
            FailLog, tr("The login records cannot be read: %1").arg(failures.join(QStringLiteral("; "))));
        return;
    }

    const QHash<QString, int> ids = LogParsers::parsePasswdIds(passwd.data);
    LogParsers::LoginSources sources;
    sources.haveCounters = faillog.succeeded();
    if (sources.haveCounters)
        sources.counters = LogParsers::parseFaillog(faillog.standardOutput);
    sources.haveHistory = last.succeeded();
    if (sources.haveHistory)
        sources.history = LogParsers::parseLast(last.standardOutput, ids);
    sources.haveActive = who.succeeded();
    if (sources.haveActive)
        sources.active = LogParsers::parseWho(who.standardOutput);
    const QList<DetailsLogsFailLog> records = LogParsers::buildLoginSummary(
        sources, ids, LogParsers::humanAccounts(passwd.data), QDateTime::currentDateTime());
    qCDebug(lcWorkerLogs) << "Number of human users with login data:" << records.size();
    emit failLogUpdated(records);
    if (!failures.isEmpty())
        emit logNote(FailLog, tr("Not everything could be read (%1): what only that told shows N/A.")
                                  .arg(failures.join(QStringLiteral("; "))));
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
    // Most computers have no Flatpak: that is said on the page, not logged.
    if (CommandRunner::resolveProgram(QStringLiteral("flatpak")).isEmpty()) {
        emit logUnavailable(FlatpakLog, tr("Flatpak is not installed on this computer."));
        return;
    }
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    const CommandResult result =
        CommandRunner::run(QStringLiteral("flatpak"), {QStringLiteral("history")}, options);
    if (result.aborted)
        return;
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
