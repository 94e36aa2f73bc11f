#include "overviewrates.h"

#include <algorithm>
#include <cmath>
#include <limits>

void OverviewRates::take(const OverviewSample& sample, double nominalSeconds) {
    const qint64 sampledAtMs = sample.sampledAtMs;
    const auto secondsSince = [sampledAtMs, nominalSeconds](qint64 before) {
        if (sampledAtMs > 0 && before > 0 && sampledAtMs > before)
            return (sampledAtMs - before) / 1000.0;
        return nominalSeconds;
    };

    // An unreadable total leaves the stored one alone. A total that went
    // down (a device removed) gives 0 and becomes the new base.
    diskKnown = sample.diskTotalMb >= 0;
    if (!diskKnown) {
        disk = 0;
    } else {
        if (previousDiskTotal >= 0)
            disk = std::clamp((sample.diskTotalMb - previousDiskTotal) / secondsSince(previousDiskAtMs), 0.0,
                              double(std::numeric_limits<int>::max()));
        previousDiskTotal = sample.diskTotalMb;
        previousDiskAtMs = sampledAtMs;
    }

    const double rate = std::max(0.0, sample.networkKilobits / secondsSince(previousSampledAtMs));
    network = rate > 0 && rate < 1 ? 1 : int(std::min(rate, double(std::numeric_limits<int>::max())));
    previousSampledAtMs = sampledAtMs;
}

QString OverviewRates::diskRateText(double megabytesPerSecond) {
    if (megabytesPerSecond > 999)
        return QString::number(megabytesPerSecond / 1024.0, 'f', 1) + QStringLiteral(" GB/s");
    // Below 10 MB/s a tenth is worth showing; 0 stays 0.
    if (megabytesPerSecond > 0 && megabytesPerSecond < 9.95)
        return QString::number(std::max(megabytesPerSecond, 0.1), 'f', 1) + QStringLiteral(" MB/s");
    return QString::number(std::round(megabytesPerSecond), 'f', 0) + QStringLiteral(" MB/s");
}

QString OverviewRates::networkRateText(int kilobitsPerSecond) {
    if (kilobitsPerSecond > 999999)
        return QString::number(kilobitsPerSecond / 1000000.0, 'f', 2) + QStringLiteral(" Gb/s");
    if (kilobitsPerSecond > 999)
        return QString::number(kilobitsPerSecond / 1000.0, 'f', 0) + QStringLiteral(" Mb/s");
    return QString::number(kilobitsPerSecond) + QStringLiteral(" Kb/s");
}
