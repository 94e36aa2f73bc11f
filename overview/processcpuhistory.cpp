#include "processcpuhistory.h"

#include <algorithm>

void ProcessCpuHistory::beginScan(double elapsedSeconds, double ticksPerSecond, int cores) {
    ++currentScan;
    ticksInInterval = elapsedSeconds * ticksPerSecond * std::max(cores, 1);
}

std::optional<double> ProcessCpuHistory::record(qint64 pid, qint64 startTime, qint64 ticks) {
    Sample& sample = samples[pid];
    const bool comparable = sample.scan != 0 && sample.startTime == startTime && ticksInInterval > 0;
    std::optional<double> share;
    if (comparable) {
        // Totals never shrink for one process; treat a smaller one as no time.
        const qint64 used = std::max<qint64>(ticks - sample.ticks, 0);
        share = std::min(double(used) / ticksInInterval * 100.0, 100.0);
    }
    if (sample.startTime != startTime) {
        sample.hasMemory = false;
        sample.uid.clear();
    }
    sample.startTime = startTime;
    sample.ticks = ticks;
    sample.scan = currentScan;
    return share;
}

void ProcessCpuHistory::endScan() {
    for (auto it = samples.begin(); it != samples.end();) {
        if (it->scan != currentScan)
            it = samples.erase(it);
        else
            ++it;
    }
}

std::optional<ProcessCpuHistory::MemoryReading> ProcessCpuHistory::memory(qint64 pid) const {
    const auto it = samples.constFind(pid);
    if (it == samples.constEnd() || !it->hasMemory)
        return std::nullopt;
    return it->memory;
}

void ProcessCpuHistory::setMemory(qint64 pid, const MemoryReading& reading) {
    Sample& sample = samples[pid];
    sample.hasMemory = true;
    sample.memory = reading;
}

QByteArray ProcessCpuHistory::uid(qint64 pid, uint owner) const {
    const auto it = samples.constFind(pid);
    return it != samples.constEnd() && it->owner == owner ? it->uid : QByteArray();
}

void ProcessCpuHistory::setUid(qint64 pid, uint owner, const QByteArray& uid) {
    Sample& sample = samples[pid];
    sample.owner = owner;
    sample.uid = uid;
}
