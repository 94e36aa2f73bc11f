#pragma once

#include "overviewsampler.h"

#include <QString>

// Turns the sampler's running disk total and its network traffic since the
// previous sample into the rates the bars and graphs show, divided by the
// time really elapsed between the samples (the timer's interval when the
// sample times are unknown).
class OverviewRates {
public:
    void take(const OverviewSample& sample, double nominalSeconds);

    // False when the last sample's disk total could not be read.
    bool isDiskRateKnown() const { return diskKnown; }
    // Megabytes per second; 0 while unknown. The total it comes from has
    // fractions of a megabyte, so a small write shows as a small rate, not as 0.
    double diskRate() const { return disk; }
    // Kilobits per second; 1 for any traffic below that.
    int networkRate() const { return network; }

    static QString diskRateText(double megabytesPerSecond);
    static QString networkRateText(int kilobitsPerSecond);

private:
    bool diskKnown = false;
    double disk = 0;
    double previousDiskTotal = -1;
    int network = 0;
    // Monotonic times of the previous sample and of the previous disk total.
    qint64 previousSampledAtMs = 0;
    qint64 previousDiskAtMs = 0;
};
