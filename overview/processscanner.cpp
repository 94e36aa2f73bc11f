#include "processscanner.h"

#include "processparser.h"
#include "systempaths.h"

#include <QFile>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

enum class ReadResult { NotOpened, ReadFailed, Complete };

// Reads a whole file into buffer, reusing its allocation. A process that
// ends meanwhile shows as NotOpened or, for some files, ReadFailed with
// whatever was read before.
// owner, when given, receives the file's owner.
ReadResult readFile(int folder, const char* path, QByteArray& buffer, uint* owner = nullptr) {
    const int fd = ::openat(folder, path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return ReadResult::NotOpened;
    if (owner) {
        struct stat info;
        *owner = ::fstat(fd, &info) == 0 ? uint(info.st_uid) : uint(-1);
    }
    if (buffer.size() < 4096)
        buffer.resize(4096);
    int used = 0;
    bool ok = true;
    for (;;) {
        if (used == buffer.size())
            buffer.resize(buffer.size() * 2);
        const ssize_t n = ::read(fd, buffer.data() + used, size_t(buffer.size() - used));
        if (n > 0) {
            used += int(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    // Shrinking keeps the allocation for the next file.
    buffer.resize(used);
    return ok ? ReadResult::Complete : ReadResult::ReadFailed;
}

bool readWholeFile(int folder, const char* path, QByteArray& buffer, uint* owner = nullptr) {
    return readFile(folder, path, buffer, owner) == ReadResult::Complete;
}

// "<pid>/<file>", opened relative to /proc: one lookup of the process
// folder per file, and no descriptor for the folder itself.
class ProcessFilePath {
public:
    explicit ProcessFilePath(const char* pidName) : length(qstrlen(pidName)) {
        if (length + 16 < sizeof(path)) {
            memcpy(path, pidName, length);
            path[length++] = '/';
        } else {
            length = 0;
        }
    }
    bool isValid() const { return length > 0; }
    const char* operator()(const char* file) {
        qstrncpy(path + length, file, sizeof(path) - length);
        return path;
    }

private:
    char path[64];
    size_t length;
};

qint64 fileStamp(const QString& path) {
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return (qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec) ^ (qint64(info.st_size) << 20);
}

} // namespace

ProcessScanner::ProcessScanner()
    : iconResolver(desktopEntryFolders(), SystemPaths::path(QStringLiteral("/usr/share/pixmaps"))),
      lastScanTime(std::chrono::steady_clock::now()), ticksPerSecond(double(sysconf(_SC_CLK_TCK))),
      cores(QThread::idealThreadCount()) {
    if (ticksPerSecond <= 0)
        ticksPerSecond = 100;
    const long pageSize = sysconf(_SC_PAGESIZE);
    pageKb = pageSize > 0 ? pageSize / 1024 : 4;
}

QStringList ProcessScanner::desktopEntryFolders() {
    return {SystemPaths::path(QStringLiteral("/usr/share/applications")),
            SystemPaths::path(QStringLiteral("/usr/local/share/applications")),
            SystemPaths::path(QStringLiteral("/var/lib/flatpak/exports/share/applications")),
            SystemPaths::path(QStringLiteral("/var/lib/snapd/desktop/applications"))};
}

void ProcessScanner::reloadPasswdIfChanged() {
    const QString path = SystemPaths::path(QStringLiteral("/etc/passwd"));
    const qint64 stamp = fileStamp(path);
    if (stamp == passwdStamp)
        return;
    passwdStamp = stamp;
    QFile file(path);
    userNames = file.open(QIODevice::ReadOnly) ? ProcessParser::parsePasswd(file.readAll())
                                               : QHash<QString, QString>();
}

QString ProcessScanner::userName(const QByteArray& uid) {
    const QString name = userNames.value(QString::fromLatin1(uid));
    return name.isEmpty() ? QStringLiteral("Unknown") : name;
}

QList<DetailsProcess> ProcessScanner::scan(const QString& uidFilter) {
    QList<DetailsProcess> processes;

    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - lastScanTime).count();
    lastScanTime = now;
    cpuHistory.beginScan(elapsed, ticksPerSecond, cores);
    ++scanCount;
    firstReadingsLeftKb = firstReadingsPerScanKb;
    reloadPasswdIfChanged();
    iconResolver.refresh();
    const QByteArray filter = uidFilter.toLatin1();

    const QByteArray procRoot = QFile::encodeName(SystemPaths::path(QStringLiteral("/proc")));
    DIR* dir = ::opendir(procRoot.constData());
    if (!dir) {
        cpuHistory.endScan();
        return processes;
    }
    processes.reserve(512);

    const int procFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const qint64 pid = ProcessParser::parsePid(entry->d_name);
        if ((entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) || pid == 0)
            continue;
        ProcessFilePath file(entry->d_name);
        uint owner = uint(-1);
        if (!file.isValid() || !readWholeFile(procFd, file("stat"), statBuffer, &owner))
            continue;

        const ProcessParser::StatFields stat = ProcessParser::parseStat(statBuffer);
        // Every process read feeds the history, listed or not, so a process
        // listed again later is compared with a recent sample.
        std::optional<double> share;
        if (stat.hasCpuTimes())
            share = cpuHistory.record(pid, stat.startTime, stat.userTicks + stat.systemTicks);
        // Each process gets a full reading every tenth scan, the processes
        // spread over the ten by ID so that no scan reads them all.
        const bool fullReadingDue = (quint64(pid) + scanCount - 1) % fullReadingEvery == 0;

        // The real user ID is only in the status file, which costs more than
        // the stat file. It changes with the effective one (the owner of the
        // process's files), so it is read again when that does, and at a
        // full reading.
        QByteArray uid = fullReadingDue || !stat.hasCpuTimes() ? QByteArray() : cpuHistory.uid(pid, owner);
        if (uid.isEmpty()) {
            if (!readWholeFile(procFd, file("status"), statusBuffer))
                continue;
            const std::string_view realUid = ProcessParser::realUid(statusBuffer);
            uid = QByteArray(realUid.data(), int(realUid.size()));
            if (stat.hasCpuTimes())
                cpuHistory.setUid(pid, owner, uid);
        }
        if (!filter.isEmpty() && uid != filter)
            continue;

        DetailsProcess process;
        process.pid = QString::fromLatin1(entry->d_name);
        process.user = userName(uid);
        process.name = ProcessParser::processName(stat.command);
        process.state = ProcessParser::stateText(stat.state);
        process.startTime = stat.startTime;
        if (!stat.hasCpuTimes())
            process.cpuUsage = QStringLiteral("N/A");
        else
            process.cpuUsage = QString::number(share.value_or(0.0), 'f', 1);
        if (share && *share > 0.005 && ProcessParser::isSleepingState(process.state))
            process.state = QStringLiteral("R (running)");
        process.memory = memoryText(procFd, entry->d_name, pid, stat, share, fullReadingDue);
        process.nice = stat.nice.isEmpty() ? QStringLiteral("0") : QString::fromLatin1(stat.nice);
        process.iconNames = iconResolver.iconNamesFor(process.name, process.user);
        processes.append(process);
    }
    ::closedir(dir);
    cpuHistory.endScan();
    return processes;
}

QString ProcessScanner::memoryText(int procFd, const char* pidName, qint64 pid,
                                   const ProcessParser::StatFields& stat, std::optional<double> share,
                                   bool fullReadingDue) {
    ProcessFilePath file(pidName);
    // Kernel threads open but refuse to read smaps_rollup: no memory of their own.
    if (stat.isKernelThread())
        return ProcessParser::formatMemoryKb(0);

    // Reading smaps_rollup walks every page the process maps, and is most of
    // a scan's cost. Between two full readings a process that used no CPU
    // keeps its figure, and one that ran follows its resident anonymous
    // memory, which statm gives cheaply. The full reading catches sharing
    // that changed meanwhile.
    const std::optional<ProcessCpuHistory::MemoryReading> last = cpuHistory.memory(pid);
    const bool idle = share && *share == 0.0;
    if (last && !fullReadingDue && idle)
        return last->privateKb < 0 ? QStringLiteral("N/A") : ProcessParser::formatMemoryKb(last->privateKb);
    const ProcessParser::StatmFigures statm = readWholeFile(procFd, file("statm"), statmBuffer)
                                                  ? ProcessParser::parseStatm(statmBuffer, pageKb)
                                                  : ProcessParser::StatmFigures();
    const qint64 anonKb = statm.anonKb;
    if (last && !fullReadingDue && anonKb >= 0 && last->anonKb >= 0) {
        if (last->privateKb < 0)
            return QStringLiteral("N/A");
        return ProcessParser::formatMemoryKb(std::max<qint64>(last->privateKb + anonKb - last->anonKb, 0));
    }
    // A process that has not run since its last full reading, its pages
    // resident as they were, can have changed only in what it shares with
    // others: it is read at every third of its full readings.
    const qint64 ticks = stat.userTicks + stat.systemTicks;
    const bool quietReadingDue = (quint64(pid) + scanCount - 1) % (fullReadingEvery * 3) == 0;
    if (last && !quietReadingDue && !last->estimated && last->ticks == ticks && anonKb >= 0 &&
        last->anonKb == anonKb && last->residentKb == statm.residentKb)
        return last->privateKb < 0 ? QStringLiteral("N/A") : ProcessParser::formatMemoryKb(last->privateKb);

    ProcessCpuHistory::MemoryReading reading;
    reading.anonKb = anonKb;
    reading.residentKb = statm.residentKb;
    reading.ticks = ticks;
    // A process seen for the first time is read at once while that stays
    // cheap. When large processes start faster than a scan may walk their
    // pages (a build starting compilers), the rest show their resident
    // anonymous memory, nearly all of a large process's private memory,
    // until their full reading.
    if (!last && !fullReadingDue && anonKb >= 0 && stat.hasCpuTimes() &&
        statm.residentKb > alwaysReadFirstKb) {
        if (statm.residentKb > firstReadingsLeftKb) {
            reading.privateKb = anonKb;
            reading.estimated = true;
            cpuHistory.setMemory(pid, reading);
            return ProcessParser::formatMemoryKb(anonKb);
        }
        firstReadingsLeftKb -= statm.residentKb;
    }
    if (readFile(procFd, file("smaps_rollup"), smapsBuffer) != ReadResult::NotOpened)
        reading.privateKb = ProcessParser::privateMemoryKb(smapsBuffer);
    if (stat.hasCpuTimes())
        cpuHistory.setMemory(pid, reading);
    return reading.privateKb < 0 ? QStringLiteral("N/A") : ProcessParser::formatMemoryKb(reading.privateKb);
}

std::optional<qint64> ProcessScanner::startTimeOf(qint64 pid) {
    if (pid <= 0)
        return std::nullopt;
    const QByteArray path = QFile::encodeName(SystemPaths::path(QStringLiteral("/proc/%1/stat").arg(pid)));
    QByteArray buffer;
    if (!readWholeFile(AT_FDCWD, path.constData(), buffer))
        return std::nullopt;
    const ProcessParser::StatFields stat = ProcessParser::parseStat(buffer);
    if (stat.fieldCount <= 21)
        return std::nullopt;
    return stat.startTime;
}
