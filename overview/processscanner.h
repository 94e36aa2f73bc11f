#pragma once

#include "detailsprocess.h"
#include "processcpuhistory.h"
#include "processiconresolver.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

// One walk over /proc: a DetailsProcess per process, with the CPU share
// since the previous walk. Reads each process's status, stat and (for listed
// processes) smaps_rollup once, with plain open/read into reused buffers.
// A process that used no CPU since the previous walk keeps the memory figure
// read then; every tenth walk reads smaps_rollup of every listed process.
// Not thread-safe: one scanner belongs to one thread.
class ProcessScanner {
public:
    ProcessScanner();

    // uidFilter: the real user ID to list; empty lists every process.
    QList<DetailsProcess> scan(const QString& uidFilter);

    // The start time of a process (clock ticks after boot), or nothing
    // when it is gone; tells whether an ID still names the same process.
    static std::optional<qint64> startTimeOf(qint64 pid);

    // The folders searched for desktop entries, under the current root prefix.
    static QStringList desktopEntryFolders();

private:
    QString userName(const QByteArray& uid);
    void reloadPasswdIfChanged();

    static constexpr unsigned fullMemoryScanEvery = 10;

    ProcessCpuHistory cpuHistory;
    unsigned scanCount = 0;
    ProcessIconResolver iconResolver;
    std::chrono::steady_clock::time_point lastScanTime;
    double ticksPerSecond;
    int cores;

    QHash<QString, QString> userNames;
    qint64 passwdStamp = -2;

    QByteArray statusBuffer;
    QByteArray statBuffer;
    QByteArray smapsBuffer;
};
