#pragma once

#include "overviewparser.h"

#include <QMetaType>
#include <QString>

// One reading of every figure the Overview's bars and graphs show.
struct OverviewSample {
    int cpuUsage = -1;          // percent, -1 when /proc/stat cannot be read
    int gpuUsage = -1;          // percent, -1 when no GPU source answers
    int ramUsage = 0;           // percent
    double diskTotalMb = -1;    // megabytes read plus written since boot, -1 when unknown
    double networkKilobits = 0; // kilobits received and sent since the previous reading
    int maxTemperature = -1;    // degrees Celsius, -1 when no thermal zone is readable
    QString error;              // set when the memory figures are missing
    qint64 sampledAtMs = 0;     // monotonic clock, for rates over the time really elapsed
};
Q_DECLARE_METATYPE(OverviewSample)

// Reads the sources behind the Overview graphs and keeps the counters that
// figures since the previous reading need. Not thread-safe: one owner.
class OverviewSampler {
public:
    // ownPid's ticks are left out of the CPU figure.
    explicit OverviewSampler(qint64 ownPid);

    OverviewSample take();

    int readCpuUsage();
    int readGpuUsage() const;
    int readMemoryUsage(QString* error) const;
    // Megabytes read and written since boot by the disks, from /proc/diskstats.
    double readDiskTotal();
    double readNetworkKilobits();
    int readMaxTemperature() const;

    // nvidia-smi's figure for a machine with exactly one such GPU.
    static std::optional<int> readVendorGpuUsage(const QString& program);

    // The devices of /proc/diskstats whose traffic counts: whole devices (not
    // partitions), except those built on others (device-mapper and RAID
    // volumes, which have slaves), so that a write through an encrypted or
    // LVM volume counts once, at its disk. Reads /sys/block.
    static QSet<QByteArray> countedDiskDevices(const QVector<OverviewParser::DiskCounters>& devices);

    // The GPU tool is given this long; a hanging one delays one sample, and
    // the tab sends no new request meanwhile.
    static constexpr int toolTimeoutMs = 3000;

private:
    qint64 ownPid;
    // Looked up once: a missing tool would otherwise be tried, and warned
    // about, on every tick.
    bool hasVendorGpuTool;
    OverviewParser::CpuTimes previousCpu;
    double previousOwnTicks = 0;
    OverviewParser::TrafficCounter traffic;
    OverviewParser::DiskTraffic diskTraffic;
    // The device names of the last reading, and which of them count.
    QVector<QByteArray> diskNames;
    QSet<QByteArray> countedDisks;
};
