#include "workercronjobs.h"

#include "commandrunner.h"
#include "cronparser.h"
#include "safefile.h"
#include "systempaths.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <optional>

Q_LOGGING_CATEGORY(lcCron, "tessmar.cron", QtWarningMsg)

namespace {
// The text up to the limit, without the line the limit cuts: a command cut
// short would be shown as if it were the job.
QByteArray wholeLinesWithin(const QByteArray& text) {
    if (text.size() <= WorkerCronJobs::maxCrontabBytes)
        return text;
    return text.left(text.lastIndexOf('\n', int(WorkerCronJobs::maxCrontabBytes) - 1) + 1);
}

const QString spoolFolder = QStringLiteral("/var/spool/cron/crontabs/");
const QString anacrontabPath = QStringLiteral("/etc/anacrontab");

// The contents of a crontab, or nothing when it is missing or unreadable.
// Personal crontabs sit in a folder the crontab group can write to, so a
// link there is not followed.
std::optional<QByteArray> readCrontabText(const QString& path, bool followSymlinks) {
    SafeFile::ReadRules rules;
    rules.maxBytes = WorkerCronJobs::maxCrontabBytes;
    rules.followSymlinks = followSymlinks;
    const SafeFile::Read read = SafeFile::read(SystemPaths::path(path), rules);
    if (read.status == SafeFile::Read::Missing) {
        qCDebug(lcCron).noquote() << "Crontab file does not exist:" << path;
        return std::nullopt;
    }
    if (read.ok()) {
        if (!read.truncated)
            return read.data;
        qCWarning(lcCron).noquote() << "Crontab" << path << "is larger than"
                                    << WorkerCronJobs::maxCrontabBytes << "bytes; the rest is not shown";
        return read.data.left(read.data.lastIndexOf('\n') + 1);
    }
    if (read.errorNumber != EACCES && read.errorNumber != EPERM) {
        qCWarning(lcCron).noquote() << "Failed to read crontab at" << path << ":" << read.error;
        return std::nullopt;
    }
    // Denied even to root (a security module, say): sudo may still read it.
    CommandOptions options;
    options.timeoutMs = 5000;
    options.maxOutputBytes = WorkerCronJobs::maxCrontabBytes;
    const CommandResult result = CommandRunner::run(
        QStringLiteral("sudo"),
        {QStringLiteral("-n"), QStringLiteral("cat"), QStringLiteral("--"), SystemPaths::path(path)},
        options);
    if (!result.succeeded()) {
        qCWarning(lcCron).noquote() << "Failed to read crontab at" << path << ":"
                                    << result.describeFailure(QStringLiteral("sudo"));
        return std::nullopt;
    }
    return wholeLinesWithin(result.standardOutput);
}

// The file names of a folder that cron would use, by name ignoring case.
QStringList runPartsEntries(const QString& folder, QDir::Filters filters) {
    QStringList names = QDir(SystemPaths::path(folder)).entryList(filters, QDir::Name | QDir::IgnoreCase);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !CronParser::isRunPartsName(name); }),
                names.end());
    return names;
}

// Whether a program is installed at an absolute path of the system.
bool isInstalledProgram(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    const QFileInfo info(SystemPaths::path(path));
    return info.isFile() && info.isExecutable();
}

// The job lines of anacron's table, when anacron is there to run them.
QList<CronParser::AnacronLine> readAnacrontab() {
    if (!isInstalledProgram(CronParser::anacronProgram))
        return {};
    const std::optional<QByteArray> text = readCrontabText(anacrontabPath, true);
    return text ? CronParser::parseAnacrontab(*text) : QList<CronParser::AnacronLine>();
}
} // namespace

WorkerCronJobs::WorkerCronJobs(QObject* parent) : QObject(parent) {}

WorkerCronJobs::~WorkerCronJobs() = default;

void WorkerCronJobs::readCrontab(const QString& path, const QString& user, QList<DetailsCronJob>& jobs,
                                 bool systemFormat) {
    // System crontabs live in root-only folders; links there are followed.
    const std::optional<QByteArray> text = readCrontabText(path, systemFormat);
    if (text)
        jobs += CronParser::parseCrontab(*text, path, user, systemFormat);
}

void WorkerCronJobs::scanCrontabDirectory(const QString& folder, QList<DetailsCronJob>& jobs) {
    const QStringList names = runPartsEntries(folder, QDir::Files);
    for (const QString& name : names)
        readCrontab(folder + name, QStringLiteral("system"), jobs, true);
}

void WorkerCronJobs::scanScriptDirectory(const QString& folder, const QList<DetailsCronJob>& systemJobs,
                                         const QList<CronParser::AnacronLine>& anacronLines,
                                         QList<DetailsCronJob>& jobs) {
    const QStringList names = runPartsEntries(folder, QDir::Files | QDir::Executable);
    if (names.isEmpty())
        return;
    QString folderPath = folder;
    folderPath.chop(1);
    const CronParser::FolderRunner runner =
        CronParser::folderRunner(folderPath, systemJobs, anacronLines, anacrontabPath, isInstalledProgram);
    for (const QString& name : names)
        jobs.append(CronParser::scriptJob(folder, name, runner));
}

QList<DetailsCronJob> WorkerCronJobs::collectCronJobs() {
    QList<DetailsCronJob> jobs;
    readCrontab(QStringLiteral("/etc/crontab"), QStringLiteral("system"), jobs, true);
    scanCrontabDirectory(QStringLiteral("/etc/cron.d/"), jobs);
    const QList<DetailsCronJob> systemJobs = jobs;
    const QList<CronParser::AnacronLine> anacronLines = readAnacrontab();
    for (const char* period : {"hourly", "daily", "weekly", "monthly"}) {
        scanScriptDirectory(QStringLiteral("/etc/cron.%1/").arg(QLatin1String(period)), systemJobs,
                            anacronLines, jobs);
    }

    SafeFile::ReadRules passwdRules;
    passwdRules.maxBytes = 64 * 1024 * 1024;
    passwdRules.followSymlinks = true;
    const SafeFile::Read passwd =
        SafeFile::read(SystemPaths::path(QStringLiteral("/etc/passwd")), passwdRules);
    if (!passwd.ok())
        qCWarning(lcCron).noquote() << "Could not read /etc/passwd:" << passwd.error;
    const QStringList accounts = CronParser::accountNames(passwd.data);
    for (const QString& account : accounts) {
        // Each may fall back on sudo, which fails at once while quitting.
        if (CommandRunner::isAborted())
            break;
        readCrontab(spoolFolder + account, account, jobs, false);
    }
    return jobs;
}

void WorkerCronJobs::fetchCronJobs() {
    qCDebug(lcCron) << "Fetching cron jobs!";
    const QList<DetailsCronJob> jobs = collectCronJobs();
    qCDebug(lcCron) << "Number of cron jobs fetched: " << jobs.size();
    emit cronJobsUpdated(jobs);
}

QStringList WorkerCronJobs::sourceFiles() {
    // The accounts are those whose personal crontabs the collection looks for.
    return {QStringLiteral("/etc/crontab"), QStringLiteral("/etc/passwd")};
}

QStringList WorkerCronJobs::sourceFolders() {
    return {QStringLiteral("/etc/cron.d"),       QStringLiteral("/etc/cron.hourly"),
            QStringLiteral("/etc/cron.daily"),   QStringLiteral("/etc/cron.weekly"),
            QStringLiteral("/etc/cron.monthly"), QStringLiteral("/var/spool/cron/crontabs")};
}
