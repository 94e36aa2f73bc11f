#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <optional>

// Pure parsers and arithmetic behind the Overview's usage bars and graphs:
// text in, figures out. The sampler reads the files and runs the tools.
namespace OverviewParser {

// Jiffies of the all-CPU line of /proc/stat.
struct CpuTimes {
    double total = 0;
    double idle = 0;
};

// The first line that begins with "cpu"; nothing when there is none or it
// holds fewer than four counters.
std::optional<CpuTimes> parseCpuTimes(const QByteArray& procStat);

// Busy share between two readings, leaving out ownTicks (the ticks this
// program spent meanwhile), rounded and held within 0..100. No time passed,
// or counters that went backwards (a resumed VM, a wrapped counter): 0.
int cpuPercent(const CpuTimes& previous, const CpuTimes& current, double ownTicks);

struct MemInfo {
    qint64 totalKb = -1;
    qint64 availableKb = -1;
    bool complete() const { return totalKb >= 0 && availableKb >= 0; }
};
MemInfo parseMemInfo(const QByteArray& meminfo);
// Used share, truncated; 0 unless both figures are known and the total is positive.
int memoryPercent(const MemInfo& memory);

// The read and write counters of one line of /proc/diskstats.
struct DiskCounters {
    QByteArray name;
    quint64 sectorsRead = 0;
    quint64 sectorsWritten = 0;
};
// Every line of /proc/diskstats with its counters; lines too short or with
// counters that are not numbers are left out.
QVector<DiskCounters> parseDiskStats(const QByteArray& diskstats);
// Sectors of /proc/diskstats are 512 bytes whatever the device; the figures
// are in megabytes of 1024 x 1024 bytes, as "iostat -m" gives them.
double sectorsToMegabytes(quint64 sectors);

// Turns successive /proc/diskstats readings into a running total of the
// megabytes read and written by the counted devices: the first reading
// gives their totals since boot, and each later one adds what every
// device's counters grew by. A counter that went back (the device was
// removed and added again) adds nothing that time and is the new base; a
// device that appeared adds what it did since.
class DiskTraffic {
public:
    double totalMegabytes(const QVector<DiskCounters>& devices, const QSet<QByteArray>& counted);

private:
    struct Counters {
        quint64 read = 0;
        quint64 written = 0;
    };
    QHash<QByteArray, Counters> previous;
    bool first = true;
    double total = 0;
};

// Received plus sent bytes over every interface of /proc/net/dev; nothing
// when the text holds no interface line (a failed or empty read).
std::optional<quint64> parseNetDevTotal(const QByteArray& netDev);

// The DRM busy file: one decimal number.
std::optional<int> parseGpuBusyPercent(const QByteArray& text);
// nvidia-smi's "37 %": one line with one number; more lines (more GPUs) or
// anything else give nothing.
std::optional<int> parseVendorGpuUsage(const QString& output);

// A thermal zone's "temp" file (millidegrees Celsius) in whole degrees.
std::optional<int> parseMilliCelsius(const QByteArray& text);

// Turns successive byte totals into kilobits moved since the previous total.
// The first total, a failed read and a total that went down (an interface
// removed, a counter reset) all give 0; a failed read keeps the previous
// total, a lower one becomes the new base.
class TrafficCounter {
public:
    double kilobitsSince(std::optional<quint64> total);

private:
    std::optional<quint64> previous;
};

} // namespace OverviewParser
