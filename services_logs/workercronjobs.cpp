#include "workercronjobs.h"

#include "commandrunner.h"
#include "cronparser.h"
#include "safefile.h"
#include "systempaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>

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

// What stat says of a crontab, or nothing when it is gone.
std::optional<CronParser::CrontabFileStatus> crontabStatus(const QString& path) {
    const QByteArray name = QFile::encodeName(SystemPaths::path(path));
    struct stat link {};
    struct stat file {};
    if (::lstat(name.constData(), &link) != 0 || ::stat(name.constData(), &file) != 0)
        return std::nullopt;
    CronParser::CrontabFileStatus status;
    status.owner = file.st_uid;
    status.mode = file.st_mode & 07777;
    status.links = file.st_nlink;
    status.throughLink = S_ISLNK(link.st_mode);
    status.linkOwner = link.st_uid;
    return status;
}

// The scripts of a periodic folder, each timed by what runs the folder.
void scanScriptDirectory(const QString& folder, const QList<DetailsCronJob>& systemJobs,
                         const QList<CronParser::AnacronLine>& anacronLines, QList<DetailsCronJob>& jobs) {
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

// Reads the crontabs the way cron does, with what that needs to know of
// the machine: its accounts, and the account cron trusts with its files.
class CrontabCollector {
public:
    CrontabCollector() {
        SafeFile::ReadRules passwdRules;
        passwdRules.maxBytes = 64 * 1024 * 1024;
        passwdRules.followSymlinks = true;
        const SafeFile::Read passwd =
            SafeFile::read(SystemPaths::path(QStringLiteral("/etc/passwd")), passwdRules);
        if (!passwd.ok())
            qCWarning(lcCron).noquote() << "Could not read /etc/passwd:" << passwd.error;
        accounts = CronParser::readAccounts(passwd.data);
        for (const CronParser::Account& account : qAsConst(accounts))
            accountIds.insert(account.name, account.uid);
        // Cron trusts root, the owner of "/" (of the root a tree is read from).
        struct stat root {};
        if (::stat(QFile::encodeName(SystemPaths::path(QStringLiteral("/"))).constData(), &root) == 0)
            rootUid = root.st_uid;
    }

    void readCrontab(const QString& path, const QString& account, QList<DetailsCronJob>& jobs,
                     bool systemFormat) const {
        // System crontabs live in root-only folders; links there are followed.
        const std::optional<QByteArray> text = readCrontabText(path, systemFormat);
        if (!text)
            return;
        CronParser::CrontabSource source;
        source.location = path;
        source.systemFormat = systemFormat;
        source.owner = account;
        source.isAccount = [this](const QString& name) { return isAccount(name); };
        QList<DetailsCronJob> fileJobs = CronParser::parseCrontab(*text, source);

        // Cron checks the file before it reads a line of it.
        const std::optional<CronParser::CrontabFileStatus> status = crontabStatus(path);
        const QString distrust =
            status ? CronParser::whyCronIgnoresFile(*status, systemFormat, rootUid,
                                                    systemFormat ? std::nullopt : accountIds.value(account))
                   : QString();
        if (!distrust.isEmpty()) {
            qCDebug(lcCron).noquote() << "cron ignores" << path << "since" << distrust;
            CronParser::markFileIgnored(fileJobs, 0, distrust);
        }
        jobs += fileJobs;
    }

    void scanCrontabDirectory(const QString& folder, QList<DetailsCronJob>& jobs) const {
        const QStringList names = runPartsEntries(folder, QDir::Files);
        for (const QString& name : names)
            readCrontab(folder + name, QString(), jobs, true);
    }

    QList<CronParser::Account> accounts;

private:
    // Cron asks getpwnam, which may know accounts that are not in the file.
    bool isAccount(const QString& name) const {
        if (accountIds.contains(name))
            return true;
        if (!SystemPaths::rootPrefix().isEmpty())
            return false;
        struct passwd entry {};
        struct passwd* found = nullptr;
        char buffer[16384];
        return ::getpwnam_r(name.toUtf8().constData(), &entry, buffer, sizeof buffer, &found) == 0 && found;
    }

    QHash<QString, std::optional<uint>> accountIds;
    uint rootUid = 0;
};
} // namespace

WorkerCronJobs::WorkerCronJobs(QObject* parent) : QObject(parent) {}

WorkerCronJobs::~WorkerCronJobs() = default;

QList<DetailsCronJob> WorkerCronJobs::collectCronJobs() {
    const CrontabCollector collector;
    QList<DetailsCronJob> jobs;
    collector.readCrontab(QStringLiteral("/etc/crontab"), QString(), jobs, true);
    collector.scanCrontabDirectory(QStringLiteral("/etc/cron.d/"), jobs);
    const QList<DetailsCronJob> systemJobs = jobs;
    const QList<CronParser::AnacronLine> anacronLines = readAnacrontab();
    for (const char* period : {"hourly", "daily", "weekly", "monthly"}) {
        scanScriptDirectory(QStringLiteral("/etc/cron.%1/").arg(QLatin1String(period)), systemJobs,
                            anacronLines, jobs);
    }

    for (const CronParser::Account& account : collector.accounts) {
        // Each may fall back on sudo, which fails at once while quitting.
        if (CommandRunner::isAborted())
            break;
        collector.readCrontab(spoolFolder + account.name, account.name, jobs, false);
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
