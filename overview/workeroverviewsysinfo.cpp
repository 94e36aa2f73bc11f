#include "workeroverviewsysinfo.h"

#include "pathstamps.h"
#include "sysinfofigures.h"
#include "systempaths.h"
#include "x11windowreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <dirent.h>

Q_LOGGING_CATEGORY(lcSysInfoSampler, "tessmar.sysinfo.sampler", QtWarningMsg)

namespace {

const char* const serviceFolderPaths[] = {
    "/etc/systemd/system/",
    "/etc/systemd/system/multi-user.target.wants/",
    "/etc/systemd/system/graphical.target.wants/",
    "/etc/systemd/system/basic.target.wants/",
    "/etc/systemd/system/default.target.wants/",
};

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

WorkerOverviewSysInfo::WorkerOverviewSysInfo(CronJobCounting cronJobCounting)
    : cronJobCounting(std::move(cronJobCounting)) {}

WorkerOverviewSysInfo::~WorkerOverviewSysInfo() = default;

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
    if (!windowReader)
        windowReader = X11WindowReader::withOwnConnection();
    return windowReader->countDesktopWindows().value_or(-1);
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
    int count = 0;
    for (const char* folder : serviceFolderPaths)
        count += countServiceFiles(SystemPaths::path(QLatin1String(folder)));
    return count;
}

int WorkerOverviewSysInfo::countCronJobs() const {
    return cronJobCounting.count ? cronJobCounting.count() : -1;
}

int WorkerOverviewSysInfo::countActiveUsers() {
    const QString path = SystemPaths::path(QStringLiteral("/var/run/utmp"));
    const std::optional<QVector<LoginRecords::Login>> logins = LoginRecords::read(path);
    if (!logins)
        return QFileInfo::exists(path) ? -1 : 0;
    return SysInfoFigures::countLoggedInUsers(*logins, [](qint64 pid) {
        return QFileInfo::exists(SystemPaths::path(QStringLiteral("/proc/%1").arg(pid)));
    });
}

SysInfoSample WorkerOverviewSysInfo::sample() {
    if (!serviceFolders) {
        QStringList folders;
        for (const char* folder : serviceFolderPaths)
            folders << QLatin1String(folder);
        serviceFolders = std::make_unique<PathStamps>(folders);
        cronFiles = std::make_unique<PathStamps>(cronJobCounting.files, cronJobCounting.folders);
    }

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
    if (serviceFolders->changed())
        servicesEnabled = countEnabledServices();
    sample.servicesEnabled = servicesEnabled;
    if (cronFiles->changed()) {
        qCDebug(lcSysInfoSampler) << "Cron files changed; counting the jobs again";
        cronJobs = countCronJobs();
    }
    sample.cronJobs = cronJobs;
    sample.activeUsers = countActiveUsers();
    return sample;
}

void WorkerOverviewSysInfo::process() {
    emit updateCompleted(sample());
}
