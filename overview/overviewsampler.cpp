#include "overviewsampler.h"

#include "commandrunner.h"
#include "processparser.h"
#include "systempaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>

namespace {

std::optional<QByteArray> readFile(const QString& path, QString* error = nullptr) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return file.readAll();
}

bool isInstalled(const QString& program) {
    return !CommandRunner::resolveProgram(program).isEmpty();
}

} // namespace

OverviewSampler::OverviewSampler(qint64 ownPid)
    : ownPid(ownPid), hasVendorGpuTool(isInstalled(QStringLiteral("nvidia-smi"))) {}

OverviewSample OverviewSampler::take() {
    OverviewSample sample;
    sample.sampledAtMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
    sample.gpuUsage = readGpuUsage();
    sample.cpuUsage = readCpuUsage();
    sample.ramUsage = readMemoryUsage(&sample.error);
    sample.diskTotalMb = readDiskTotal();
    sample.networkKilobits = readNetworkKilobits();
    sample.maxTemperature = readMaxTemperature();
    return sample;
}

int OverviewSampler::readCpuUsage() {
    const std::optional<QByteArray> stat = readFile(SystemPaths::path(QStringLiteral("/proc/stat")));
    const std::optional<OverviewParser::CpuTimes> times =
        stat ? OverviewParser::parseCpuTimes(*stat) : std::nullopt;
    if (!times)
        return -1;

    double ownTicks = 0;
    const QString ownStatPath = SystemPaths::path(QStringLiteral("/proc/%1/stat").arg(ownPid));
    if (const std::optional<QByteArray> ownStat = readFile(ownStatPath)) {
        const ProcessParser::StatFields fields = ProcessParser::parseStat(*ownStat);
        if (fields.hasCpuTimes())
            ownTicks = double(fields.userTicks + fields.systemTicks);
    }
    const int percent = OverviewParser::cpuPercent(previousCpu, *times, ownTicks - previousOwnTicks);
    previousCpu = *times;
    previousOwnTicks = ownTicks;
    return percent;
}

int OverviewSampler::readGpuUsage() const {
    const QString busyPath =
        SystemPaths::path(QStringLiteral("/sys/class/drm/card0/device/gpu_busy_percent"));
    if (const std::optional<QByteArray> busy = readFile(busyPath)) {
        if (const std::optional<int> percent = OverviewParser::parseGpuBusyPercent(*busy))
            return *percent;
    }
    if (!hasVendorGpuTool)
        return -1;
    return readVendorGpuUsage(QStringLiteral("nvidia-smi")).value_or(-1);
}

std::optional<int> OverviewSampler::readVendorGpuUsage(const QString& program) {
    CommandOptions options;
    options.timeoutMs = toolTimeoutMs;
    const CommandResult result = CommandRunner::run(
        program, {QStringLiteral("--query-gpu=utilization.gpu"), QStringLiteral("--format=csv,noheader")},
        options);
    if (!result.succeeded())
        return std::nullopt;
    return OverviewParser::parseVendorGpuUsage(result.outputText());
}

int OverviewSampler::readMemoryUsage(QString* error) const {
    QString openError;
    const std::optional<QByteArray> meminfo =
        readFile(SystemPaths::path(QStringLiteral("/proc/meminfo")), &openError);
    if (!meminfo) {
        *error = QStringLiteral("Failed to open /proc/meminfo, error: ") + openError;
        return 0;
    }
    const OverviewParser::MemInfo memory = OverviewParser::parseMemInfo(*meminfo);
    if (!memory.complete()) {
        *error = QStringLiteral("Failed to retrieve memory stats.");
        return 0;
    }
    return OverviewParser::memoryPercent(memory);
}

double OverviewSampler::readDiskTotal() {
    const std::optional<QByteArray> diskstats =
        readFile(SystemPaths::path(QStringLiteral("/proc/diskstats")));
    if (!diskstats)
        return -1;
    const QVector<OverviewParser::DiskCounters> devices = OverviewParser::parseDiskStats(*diskstats);
    if (devices.isEmpty())
        return -1;
    // Which devices count changes only when devices come or go.
    QVector<QByteArray> names;
    names.reserve(devices.size());
    for (const OverviewParser::DiskCounters& device : devices)
        names.append(device.name);
    if (names != diskNames) {
        diskNames = names;
        countedDisks = countedDiskDevices(devices);
    }
    return diskTraffic.totalMegabytes(devices, countedDisks);
}

QSet<QByteArray> OverviewSampler::countedDiskDevices(const QVector<OverviewParser::DiskCounters>& devices) {
    QSet<QByteArray> counted;
    const QString blockFolder = SystemPaths::path(QStringLiteral("/sys/block/"));
    for (const OverviewParser::DiskCounters& device : devices) {
        // /sys/block writes a "/" in a device name as "!".
        QString name = QString::fromLocal8Bit(device.name);
        name.replace(QLatin1Char('/'), QLatin1Char('!'));
        if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || !QFileInfo::exists(blockFolder + name))
            continue;
        if (!QDir(blockFolder + name + QStringLiteral("/slaves"))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                 .isEmpty())
            continue;
        counted.insert(device.name);
    }
    return counted;
}

double OverviewSampler::readNetworkKilobits() {
    const std::optional<QByteArray> netDev = readFile(SystemPaths::path(QStringLiteral("/proc/net/dev")));
    return traffic.kilobitsSince(netDev ? OverviewParser::parseNetDevTotal(*netDev) : std::nullopt);
}

int OverviewSampler::readMaxTemperature() const {
    const QString thermalPath = SystemPaths::path(QStringLiteral("/sys/class/thermal"));
    const QStringList zones =
        QDir(thermalPath)
            .entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    int maximum = -1;
    for (const QString& zone : zones) {
        const std::optional<QByteArray> text =
            readFile(thermalPath + QLatin1Char('/') + zone + QStringLiteral("/temp"));
        const std::optional<int> degrees = text ? OverviewParser::parseMilliCelsius(*text) : std::nullopt;
        // Zones below freezing still count as readable, shown as 0.
        if (degrees)
            maximum = std::max({maximum, 0, *degrees});
    }
    return maximum;
}
