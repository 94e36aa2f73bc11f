#include "workerlogs.h"

#include "commandrunner.h"
#include "logparsers.h"
#include "safefile.h"
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
    SafeFile::ReadRules rules;
    rules.maxBytes = 4096;
    rules.followSymlinks = true;
    const SafeFile::Read read =
        SafeFile::read(SystemPaths::path(QStringLiteral("/etc/debian_version")), rules);
    return read.ok() ? LogParsers::debianMajorVersion(read.data) : -1;
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

// What a finished read of a log file tells its page: why there are no rows,
// or which lines were left out. False when quitting cut the read short.
template <typename Listing>
bool describeRead(const LogFileReader::Result& read, WorkerLogs::Source source, const QString& path,
                  const LogFileReader::Limits& limits, Listing& listing) {
    switch (read.status) {
    case LogFileReader::Result::Aborted:
        return false;
    case LogFileReader::Result::Missing: {
        qCDebug(lcWorkerLogs).noquote() << "Failed to open" << path;
        const bool writtenBySystemLogger =
            source == WorkerLogs::SysLog || source == WorkerLogs::AuthLog || source == WorkerLogs::KernLog;
        listing.unavailable = writtenBySystemLogger
                                  ? WorkerLogs::tr("%1 does not exist: no system logger (such as rsyslog) "
                                                   "writes it on this computer.")
                                        .arg(path)
                                  : WorkerLogs::tr("%1 does not exist on this computer.").arg(path);
        return true;
    }
    case LogFileReader::Result::Failed:
        qWarning().noquote() << "Failed to read" << path << ":" << read.error;
        listing.unavailable = WorkerLogs::tr("%1 cannot be read: %2").arg(path, read.error);
        return true;
    case LogFileReader::Result::Ok:
        break;
    }
    if (read.leftOutLines > 0)
        listing.note = leftOutNote(path, read.leftOutLines, limits);
    return true;
}
} // namespace

std::optional<TextLogListing> WorkerLogs::readTextLog(Source source, const QString& path) {
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
                emit loadProgress({source, percent, builder.rowCount()});
            }
        },
        &cancelled);
    TextLogListing listing;
    if (!describeRead(read, source, path, limits, listing))
        return std::nullopt;
    if (read.status != LogFileReader::Result::Ok)
        return listing;
    // Month-name times carry no year: the newest is of the file's last change.
    const QDate reference = read.lastModified.isValid() ? read.lastModified.date() : QDate::currentDate();
    builder.setReference(reference.year(), reference.month());
    listing.rows = builder.finish();
    qCDebug(lcWorkerLogs) << "Number of items in" << path << ":" << listing.rows->rowCount();
    return listing;
}

void WorkerLogs::fetchSysLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchSyslog!";
    if (const auto listing = readTextLog(SysLog, QStringLiteral("/var/log/syslog")))
        emit sysLogUpdated(*listing);
}

void WorkerLogs::fetchAuthLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchAuthLog!";
    if (const auto listing = readTextLog(AuthLog, QStringLiteral("/var/log/auth.log")))
        emit authLogUpdated(*listing);
}

void WorkerLogs::fetchKernLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchKernLog!";
    if (const auto listing = readTextLog(KernLog, QStringLiteral("/var/log/kern.log")))
        emit kernLogUpdated(*listing);
}

template <typename Record>
std::optional<LogListing<QList<Record>>> WorkerLogs::readRecords(Source source, const QString& path,
                                                                 QList<Record> (*parse)(const QByteArray&)) {
    const LogFileReader::Limits limits = WorkerLogs::limits();
    QByteArray text;
    const LogFileReader::Result read = LogFileReader::read(
        SystemPaths::path(path), limits,
        [&](qint64, qint64 bytes) { text.reserve(int(qMin<qint64>(bytes, limits.maxBytes) + 1)); },
        [&](const char* line, int size) {
            text.append(line, size);
            text.append('\n');
        },
        nullptr, &cancelled);
    LogListing<QList<Record>> listing;
    if (!describeRead(read, source, path, limits, listing))
        return std::nullopt;
    if (read.status == LogFileReader::Result::Ok)
        listing.rows = parse(text);
    return listing;
}

void WorkerLogs::fetchDmesgLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchDmesgLog!";
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    // The kernel's ring buffer with a timestamp a line: a buffer enlarged to
    // 32 MB (log_buf_len) prints about 40 MB.
    options.maxOutputBytes = 64 * 1024 * 1024;
    const CommandResult result = CommandRunner::run(QStringLiteral("dmesg"), {}, options);
    if (result.aborted)
        return;
    DmesgLogListing listing;
    if (result.succeeded())
        listing.rows = LogParsers::parseDmesg(result.standardOutput);
    else
        listing.unavailable =
            tr("The kernel messages cannot be read: %1").arg(result.describeFailure(QStringLiteral("dmesg")));
    qCDebug(lcWorkerLogs) << "Number of items in dmesg log: " << listing.rows.size();
    emit dmesgLogUpdated(listing);
}

void WorkerLogs::fetchBootLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchBootLog!";
    const auto listing = readRecords(BootLog, QStringLiteral("/var/log/boot.log"), &LogParsers::parseBootLog);
    if (!listing)
        return;
    qCDebug(lcWorkerLogs) << "Number of items in boot.log: " << listing->rows.size();
    emit bootLogUpdated(*listing);
}

void WorkerLogs::fetchFailLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchFailLog!";
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    // faillog prints about 60 bytes for every account: 16 MB is 280,000.
    options.maxOutputBytes = 16 * 1024 * 1024;
    // last about 130 bytes for every 384-byte login record: 64 MB is a
    // wtmp of 190 MB.
    CommandOptions lastOptions = options;
    lastOptions.maxOutputBytes = 64 * 1024 * 1024;
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
                           lastOptions);
    const CommandResult who = CommandRunner::run(
        QStringLiteral("who"), {SystemPaths::path(QStringLiteral("/var/run/utmp"))}, whoOptions);
    if (faillog.aborted || last.aborted || who.aborted)
        return;

    FailLogListing listing;
    SafeFile::ReadRules passwdRules;
    passwdRules.maxBytes = 64 * 1024 * 1024;
    passwdRules.followSymlinks = true;
    const SafeFile::Read passwd =
        SafeFile::read(SystemPaths::path(QStringLiteral("/etc/passwd")), passwdRules);
    if (!passwd.ok()) {
        qWarning().noquote() << "Failed to open /etc/passwd:" << passwd.error;
        listing.unavailable = tr("/etc/passwd cannot be read: %1").arg(passwd.error);
        emit failLogUpdated(listing);
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
        listing.unavailable =
            tr("The login records cannot be read: %1").arg(failures.join(QStringLiteral("; ")));
        emit failLogUpdated(listing);
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
    listing.rows = LogParsers::buildLoginSummary(sources, ids, LogParsers::humanAccounts(passwd.data),
                                                 QDateTime::currentDateTime());
    if (!failures.isEmpty())
        listing.note = tr("Not everything could be read (%1): what only that told shows N/A.")
                           .arg(failures.join(QStringLiteral("; ")));
    qCDebug(lcWorkerLogs) << "Number of human users with login data:" << listing.rows.size();
    emit failLogUpdated(listing);
}

void WorkerLogs::fetchDpkgLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchDpkgLog!";
    const auto listing = readRecords(DpkgLog, QStringLiteral("/var/log/dpkg.log"), &LogParsers::parseDpkgLog);
    if (!listing)
        return;
    qCDebug(lcWorkerLogs) << "Number of items in dpkg.log: " << listing->rows.size();
    emit dpkgLogUpdated(*listing);
}

void WorkerLogs::fetchFlatpakLog() {
    qCDebug(lcWorkerLogs) << "We are here in fetchFlatpakLog!";
    FlatpakLogListing listing;
    // Most computers have no Flatpak: that is said on the page, not logged.
    if (CommandRunner::resolveProgram(QStringLiteral("flatpak")).isEmpty()) {
        listing.unavailable = tr("Flatpak is not installed on this computer.");
        emit flatpakLogUpdated(listing);
        return;
    }
    CommandOptions options;
    options.timeoutMs = ToolTimeoutMs;
    // About 150 bytes a change, read from the journal: 32 MB is years of
    // daily updates of a hundred applications.
    options.maxOutputBytes = 32 * 1024 * 1024;
    const CommandResult result =
        CommandRunner::run(QStringLiteral("flatpak"), {QStringLiteral("history")}, options);
    if (result.aborted)
        return;
    if (!result.started) {
        listing.unavailable = tr("Flatpak is not installed on this computer.");
    } else if (!result.succeeded() && !(result.timedOut && !result.standardOutput.isEmpty())) {
        // A run cut off by the time limit still shows what it printed.
        listing.unavailable = tr("The Flatpak history cannot be read: %1")
                                  .arg(result.describeFailure(QStringLiteral("flatpak")));
    } else if (result.standardOutput.trimmed().isEmpty()) {
        qCDebug(lcWorkerLogs) << "Failed to retrieve flatpak history.";
        listing.unavailable = tr("Flatpak has no history on this computer.");
    } else {
        listing.rows = LogParsers::parseFlatpakHistory(result.standardOutput);
        qCDebug(lcWorkerLogs) << "Number of items in flatpak history:" << listing.rows.size();
    }
    emit flatpakLogUpdated(listing);
}
