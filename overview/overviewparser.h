#pragma once

#include <QByteArray>
#include <QString>
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

// Megabytes read plus written since boot, summed over the device lines of
// "iostat -dm" output; nothing when the text holds no device line.
std::optional<double> parseDiskTotal(const QString& iostatOutput);

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
