#include "overviewparser.h"

#include "interfacetraffic.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace OverviewParser {

namespace {

QList<QByteArray> fields(const QByteArray& line) {
    return line.simplified().split(' ');
}

// The line that starts with key, or an empty array.
QByteArray lineStartingWith(const QByteArray& text, const QByteArray& key) {
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        if (text.mid(start, key.size()) == key)
            return text.mid(start, end - start);
        start = end + 1;
    }
    return QByteArray();
}

std::optional<int> wholeNumber(const QByteArray& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

std::optional<CpuTimes> parseCpuTimes(const QByteArray& procStat) {
    const QByteArray line = lineStartingWith(procStat, "cpu");
    const QList<QByteArray> parts = fields(line);
    if (parts.size() < 5)
        return std::nullopt;
    CpuTimes times;
    for (int i = 1; i < parts.size(); ++i)
        times.total += parts.at(i).toDouble();
    times.idle = parts.at(4).toDouble();
    return times;
}

int cpuPercent(const CpuTimes& previous, const CpuTimes& current, double ownTicks) {
    const double totalDelta = (current.total - previous.total) - std::max(0.0, ownTicks);
    // An idle counter that steps back (seen after suspend) counts as no idle time.
    const double idleDelta = std::max(0.0, current.idle - previous.idle);
    if (totalDelta <= 0)
        return 0;
    const double percent = std::round((1.0 - idleDelta / totalDelta) * 100.0);
    return int(std::clamp(percent, 0.0, 100.0));
}

MemInfo parseMemInfo(const QByteArray& meminfo) {
    MemInfo memory;
    const auto kilobytes = [&meminfo](const QByteArray& key) -> qint64 {
        const QList<QByteArray> parts = fields(lineStartingWith(meminfo, key));
        if (parts.size() < 2)
            return -1;
        bool ok = false;
        const qint64 value = parts.at(1).toLongLong(&ok);
        return ok && value >= 0 ? value : -1;
    };
    memory.totalKb = kilobytes("MemTotal:");
    memory.availableKb = kilobytes("MemAvailable:");
    return memory;
}

int memoryPercent(const MemInfo& memory) {
    if (!memory.complete() || memory.totalKb <= 0)
        return 0;
    const double used = double(memory.totalKb - memory.availableKb) / double(memory.totalKb) * 100.0;
    return int(std::clamp(used, 0.0, 100.0));
}

QVector<DiskCounters> parseDiskStats(const QByteArray& diskstats) {
    QVector<DiskCounters> devices;
    int start = 0;
    while (start < diskstats.size()) {
        int end = diskstats.indexOf('\n', start);
        if (end < 0)
            end = diskstats.size();
        // major minor name reads merged sectors-read ms writes merged sectors-written ...
        const QList<QByteArray> parts = fields(diskstats.mid(start, end - start));
        start = end + 1;
        if (parts.size() < 10)
            continue;
        bool readOk = false;
        bool writtenOk = false;
        DiskCounters counters;
        counters.name = parts.at(2);
        counters.sectorsRead = parts.at(5).toULongLong(&readOk);
        counters.sectorsWritten = parts.at(9).toULongLong(&writtenOk);
        if (readOk && writtenOk)
            devices.append(counters);
    }
    return devices;
}

double sectorsToMegabytes(quint64 sectors) {
    return double(sectors) / 2048.0;
}

double DiskTraffic::totalMegabytes(const QVector<DiskCounters>& devices, const QSet<QByteArray>& counted) {
    QHash<QByteArray, Counters> now;
    quint64 sectors = 0;
    for (const DiskCounters& device : devices) {
        if (!counted.contains(device.name))
            continue;
        now.insert(device.name, {device.sectorsRead, device.sectorsWritten});
        const auto before = previous.constFind(device.name);
        if (first || before == previous.constEnd()) {
            sectors += device.sectorsRead + device.sectorsWritten;
            continue;
        }
        if (device.sectorsRead >= before->read)
            sectors += device.sectorsRead - before->read;
        if (device.sectorsWritten >= before->written)
            sectors += device.sectorsWritten - before->written;
    }
    previous = std::move(now);
    first = false;
    total += sectorsToMegabytes(sectors);
    return total;
}

std::optional<quint64> parseNetDevTotal(const QByteArray& netDev) {
    const QVector<traffic::InterfaceCounters> interfaces =
        traffic::parseProcNetDev(QString::fromLatin1(netDev));
    if (interfaces.isEmpty())
        return std::nullopt;
    quint64 total = 0;
    for (const traffic::InterfaceCounters& counters : interfaces)
        total += counters.rxBytes + counters.txBytes;
    return total;
}

std::optional<int> parseGpuBusyPercent(const QByteArray& text) {
    return wholeNumber(text);
}

std::optional<int> parseVendorGpuUsage(const QString& output) {
    QString value = output.trimmed();
    if (value.contains(QLatin1Char('\n')))
        return std::nullopt;
    value.remove(QLatin1Char('%'));
    return wholeNumber(value.toLatin1());
}

std::optional<int> parseMilliCelsius(const QByteArray& text) {
    bool ok = false;
    const qint64 milli = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return int(milli / 1000);
}

double TrafficCounter::kilobitsSince(std::optional<quint64> total) {
    if (!total)
        return 0.0;
    const std::optional<quint64> before = previous;
    previous = total;
    if (!before || *total < *before)
        return 0.0;
    return double(*total - *before) * 8.0 / 1000.0;
}

} // namespace OverviewParser
