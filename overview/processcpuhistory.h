#pragma once

#include <QByteArray>
#include <QHash>

#include <optional>

// CPU time of every process at the previous scan, to turn the kernel's
// running totals into a share of the time between two scans, and the
// private memory last read for it, from which later scans can estimate.
//
// Samples are keyed by process ID and start time, so a reused ID starts a
// fresh history instead of being compared with the ticks of the process
// that had the ID before; every process read is recorded (listed or not),
// and processes that are gone are dropped at the end of each scan.
class ProcessCpuHistory {
public:
    // elapsedSeconds since the previous scan; the share is of all cores.
    void beginScan(double elapsedSeconds, double ticksPerSecond, int cores);

    // The share in percent (0 to 100) since the process's previous sample,
    // or nothing when there is none to compare with.
    std::optional<double> record(qint64 pid, qint64 startTime, qint64 ticks);

    // Private memory as read from smaps_rollup, beside the resident
    // anonymous and total memory statm gave and the CPU time (user plus
    // system ticks) stat gave at the same moment; -1: not known.
    struct MemoryReading {
        qint64 privateKb = -1; // -1: could not be read
        qint64 anonKb = -1;
        qint64 residentKb = -1;
        qint64 ticks = -1;
        // privateKb is the anonymous memory, smaps_rollup not read yet.
        bool estimated = false;
    };
    // The reading of an earlier scan; nothing when none was taken, or when
    // the ID now names another process. Call after record() in a scan.
    std::optional<MemoryReading> memory(qint64 pid) const;
    void setMemory(qint64 pid, const MemoryReading& reading);

    // The real user ID read for the process while its folder had the given
    // owner; empty when none was, or when the owner has changed since.
    QByteArray uid(qint64 pid, uint owner) const;
    void setUid(qint64 pid, uint owner, const QByteArray& uid);

    // Forgets every process not recorded since beginScan.
    void endScan();

    int size() const { return samples.size(); }

private:
    struct Sample {
        qint64 startTime = 0;
        qint64 ticks = 0;
        quint32 scan = 0;
        bool hasMemory = false;
        MemoryReading memory;
        uint owner = 0;
        QByteArray uid;
    };
    QHash<qint64, Sample> samples;
    quint32 currentScan = 0;
    double ticksInInterval = 0;
};
