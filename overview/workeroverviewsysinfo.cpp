#include "workeroverviewsysinfo.h"

#include "commandrunner.h"
#include "sysinfofigures.h"
#include "systempaths.h"
#include "tickgate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <dirent.h>

Q_LOGGING_CATEGORY(lcSysInfoSampler, "tessmar.sysinfo.sampler", QtWarningMsg)

namespace {

// The two tools run once a second, so they get a short limit: a hung one
// costs a few ticks, which the panel skips, never a frozen sampler.
constexpr int toolTimeoutMs = 2000;

std::optional<QString> readTextFile(const QString& absolutePath) {
    QFile file(SystemPaths::path(absolutePath));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

bool isNumber(const char* name) {
    if (!*name)
        return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9')
            return false;
    }
    return true;
}

// The names of the process folders of /proc.
QStringList processFolders() {
    QStringList names;
    const QByteArray procRoot = QFile::encodeName(SystemPaths::path(QStringLiteral("/proc")));
    DIR* dir = ::opendir(procRoot.constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if ((entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN) && isNumber(entry->d_name))
            names << QString::fromLatin1(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

WorkerOverviewSysInfo::WorkerOverviewSysInfo(QObject* parent) : QObject(parent) {}

WorkerOverviewSysInfo::~WorkerOverviewSysInfo() = default;

void WorkerOverviewSysInfo::setTickGate(std::shared_ptr<TickGate> gate) {
    tickGate = std::move(gate);
}

QString WorkerOverviewSysInfo::getUptime() {
    // Read every time: a clock of our own would stop while the machine sleeps.
    const std::optional<QString> text = readTextFile(QStringLiteral("/proc/uptime"));
    const std::optional<double> seconds = text ? SysInfoFigures::parseUptime(*text) : std::nullopt;
    if (!seconds)
        return QStringLiteral("N/A");
    return SysInfoFigures::formatUptime(*seconds, QCoreApplication::translate("WorkerOverviewSysInfo", "D"));
}

QString WorkerOverviewSysInfo::getRamUsage() {
    const std::optional<QString> text = readTextFile(QStringLiteral("/proc/meminfo"));
    if (!text)
        return QStringLiteral("RAM info not available");
    return SysInfoFigures::formatRamUsage(SysInfoFigures::parseMemInfo(*text));
}

QString WorkerOverviewSysInfo::getSwapUsage() {
    const std::optional<QString> text = readTextFile(QStringLiteral("/proc/meminfo"));
    if (!text)
        return QStringLiteral("Swap info not available");
    return SysInfoFigures::formatSwapUsage(SysInfoFigures::parseMemInfo(*text));
}

QString WorkerOverviewSysInfo::getProcessThreadCount() {
    const QStringList processes = processFolders();
    // The kernel keeps the total of its tasks in loadavg: one small read
    // instead of a folder listing per process every second.
    const std::optional<QString> loadavg = readTextFile(QStringLiteral("/proc/loadavg"));
    std::optional<int> threads = loadavg ? SysInfoFigures::parseLoadavgTaskCount(*loadavg) : std::nullopt;
    if (!threads) {
        int count = 0;
        for (const QString& pid : processes) {
            const QString taskFolder = SystemPaths::path(QStringLiteral("/proc/%1/task").arg(pid));
            count += QDir(taskFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted).size();
        }
        threads = count;
    }
    return QStringLiteral("%1/%2").arg(processes.size()).arg(*threads);
}

int WorkerOverviewSysInfo::countOpenWindows() {
    CommandOptions options;
    options.timeoutMs = toolTimeoutMs;
    const CommandResult result =
        CommandRunner::run(QStringLiteral("wmctrl"), {QStringLiteral("-lx")}, options);
    return result.succeeded() ? SysInfoFigures::countDesktopWindows(result.outputText()) : -1;
}

int WorkerOverviewSysInfo::countServiceFiles(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists())
        return 0;
    int count = 0;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Readable | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() && entry.fileName().endsWith(QLatin1String(".service")))
            ++count;
    }
    return count;
}

int WorkerOverviewSysInfo::countEnabledServices() {
    static const char* const folders[] = {
        "/etc/systemd/system/",
        "/etc/systemd/system/multi-user.target.wants/",
        "/etc/systemd/system/graphical.target.wants/",
        "/etc/systemd/system/basic.target.wants/",
        "/etc/systemd/system/default.target.wants/",
    };
    int count = 0;
    for (const char* folder : folders)
        count += countServiceFiles(SystemPaths::path(QLatin1String(folder)));
    return count;
}

int WorkerOverviewSysInfo::countCronJobsInFile(const QString& path, bool systemCrontab) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCDebug(lcSysInfoSampler) << "Failed to open crontab at" << path;
        return 0;
    }
    return SysInfoFigures::countCronJobs(QString::fromUtf8(file.readAll()), systemCrontab);
}

int WorkerOverviewSysInfo::countCronJobs() {
    const auto filesIn = [](const char* folder, QDir::Filters filters) {
        const QDir dir(SystemPaths::path(QLatin1String(folder)));
        return dir.exists() ? dir.entryInfoList(filters, QDir::Unsorted) : QFileInfoList();
    };
    int count = 0;
    for (const QFileInfo& file : filesIn("/etc/cron.d", QDir::Files | QDir::NoDotAndDotDot))
        count += countCronJobsInFile(file.absoluteFilePath(), true);
    // A periodic script is one job; its contents are not a crontab.
    for (const char* folder :
         {"/etc/cron.daily", "/etc/cron.hourly", "/etc/cron.weekly", "/etc/cron.monthly"})
        count += filesIn(folder, QDir::Files | QDir::Executable | QDir::NoDotAndDotDot).size();
    count += countCronJobsInFile(SystemPaths::path(QStringLiteral("/etc/crontab")), true);
    for (const QFileInfo& file : filesIn("/var/spool/cron/crontabs", QDir::Files | QDir::NoDotAndDotDot))
        count += countCronJobsInFile(file.absoluteFilePath(), false);
    return count;
}

int WorkerOverviewSysInfo::countActiveUsers() {
    CommandOptions options;
    options.timeoutMs = toolTimeoutMs;
    const CommandResult result = CommandRunner::run(QStringLiteral("who"), {}, options);
    return result.succeeded() ? SysInfoFigures::countLoggedInUsers(result.outputText()) : -1;
}

SysInfoSample WorkerOverviewSysInfo::sample() {
    SysInfoSample sample;
    sample.uptime = getUptime();
    const std::optional<QString> meminfo = readTextFile(QStringLiteral("/proc/meminfo"));
    if (meminfo) {
        const SysInfoFigures::MemInfo memory = SysInfoFigures::parseMemInfo(*meminfo);
        sample.ramUsed = SysInfoFigures::formatRamUsage(memory);
        sample.swapUsed = SysInfoFigures::formatSwapUsage(memory);
    } else {
        sample.ramUsed = QStringLiteral("RAM info not available");
        sample.swapUsed = QStringLiteral("Swap info not available");
    }
    sample.procsThreads = getProcessThreadCount();
    sample.applications = countOpenWindows();
    sample.servicesEnabled = countEnabledServices();
    sample.cronJobs = countCronJobs();
    sample.activeUsers = countActiveUsers();
    return sample;
}

void WorkerOverviewSysInfo::process() {
    const TickGate::Pass pass(tickGate.get());
    const SysInfoSample figures = sample();
    // Failures are carried by the figures themselves; the error channel stays empty.
    emit updateCompleted(figures.uptime, figures.ramUsed, figures.swapUsed, figures.procsThreads,
                         figures.applications, figures.servicesEnabled, figures.cronJobs, figures.activeUsers,
                         QString());
    emit processingDone();
}
