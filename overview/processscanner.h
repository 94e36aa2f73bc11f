#pragma once

#include "detailsprocess.h"
#include "processcpuhistory.h"
#include "processiconresolver.h"
#include "processparser.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

// One walk over /proc: a DetailsProcess per process, with the CPU share
// since the previous walk. Reads each process's stat file, with plain
// openat/read on its folder into reused buffers; the costlier status and
// smaps_rollup files only when their figures may have changed, and at
// least every tenth walk (every thirtieth for smaps_rollup of a process that
// has neither run nor changed its resident pages). The smaps_rollup readings
// of processes seen for the first time are bounded per walk (see memoryText).
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
    QString memoryText(int procFd, const char* pidName, qint64 pid, const ProcessParser::StatFields& stat,
                       std::optional<double> share, bool fullReadingDue);
    void reloadPasswdIfChanged();

    static constexpr unsigned fullReadingEvery = 10;
    // Reading smaps_rollup walks every resident page (about 30 µs per MB
    // here), so first readings are bounded per scan by the resident memory
    // they walk; processes this small are read at once all the same.
    static constexpr qint64 firstReadingsPerScanKb = 64 * 1024;
    static constexpr qint64 alwaysReadFirstKb = 16 * 1024;
    qint64 firstReadingsLeftKb = 0;

    ProcessCpuHistory cpuHistory;
    unsigned scanCount = 0;
    ProcessIconResolver iconResolver;
    std::chrono::steady_clock::time_point lastScanTime;
    double ticksPerSecond;
    int cores;
    qint64 pageKb = 4;

    QHash<QString, QString> userNames;
    qint64 passwdStamp = -2;

    QByteArray statusBuffer;
    QByteArray statBuffer;
    QByteArray statmBuffer;
    QByteArray smapsBuffer;
};
