#include "processscanner.h"

#include "processparser.h"
#include "systempaths.h"

#include <QFile>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

enum class ReadResult { NotOpened, ReadFailed, Complete };

// Reads a whole file into buffer, reusing its allocation. A process that
// ends meanwhile shows as NotOpened or, for some files, ReadFailed with
// whatever was read before.
ReadResult readFile(const char* path, QByteArray& buffer) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return ReadResult::NotOpened;
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

bool readWholeFile(const char* path, QByteArray& buffer) {
    return readFile(path, buffer) == ReadResult::Complete;
}

bool isProcessFolderName(const char* name) {
    if (*name == '\0')
        return false;
    bool nonZero = false;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        nonZero = nonZero || *p != '0';
    }
    return nonZero;
}

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
    const bool fullMemoryScan = scanCount++ % fullMemoryScanEvery == 0;
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

    QByteArray path;
    path.reserve(procRoot.size() + 64);
    while (const dirent* entry = ::readdir(dir)) {
        if ((entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) || !isProcessFolderName(entry->d_name))
            continue;
        path = procRoot;
        path += '/';
        path += entry->d_name;
        path += '/';
        const int folderLength = path.size();

        path += "status";
        if (!readWholeFile(path.constData(), statusBuffer))
            continue;
        path.resize(folderLength);
        path += "stat";
        if (!readWholeFile(path.constData(), statBuffer))
            continue;

        const ProcessParser::StatFields stat = ProcessParser::parseStat(statBuffer);
        const qint64 pid = std::strtoll(entry->d_name, nullptr, 10);
        // Every process read feeds the history, listed or not, so a process
        // listed again later is compared with a recent sample.
        std::optional<double> share;
        if (stat.hasCpuTimes())
            share = cpuHistory.record(pid, stat.startTime, stat.userTicks + stat.systemTicks);

        const QByteArray uid = ProcessParser::firstWord(ProcessParser::statusField(statusBuffer, "Uid:"));
        if (!filter.isEmpty() && uid != filter)
            continue;

        DetailsProcess process;
        process.pid = QString::fromLatin1(entry->d_name);
        process.user = userName(uid);
        process.name = QString::fromUtf8(ProcessParser::statusField(statusBuffer, "Name:"));
        process.state = QString::fromUtf8(ProcessParser::statusField(statusBuffer, "State:"));
        process.startTime = stat.startTime;
        if (!stat.hasCpuTimes())
            process.cpuUsage = QStringLiteral("N/A");
        else
            process.cpuUsage = QString::number(share.value_or(0.0), 'f', 1);
        if (share && *share > 0.005 && ProcessParser::isSleepingState(process.state))
            process.state = QStringLiteral("R (running)");

        // Reading smaps_rollup is most of a scan's cost, and a process that
        // used no CPU since the last scan has hardly changed its memory.
        const bool idle = share && *share == 0.0;
        if (idle && !fullMemoryScan)
            process.memory = cpuHistory.memory(pid);
        if (process.memory.isEmpty()) {
            path.resize(folderLength);
            path += "smaps_rollup";
            // Kernel threads open but refuse to read smaps_rollup: no memory of their own.
            process.memory = readFile(path.constData(), smapsBuffer) != ReadResult::NotOpened
                                 ? ProcessParser::formatMemoryKb(ProcessParser::privateMemoryKb(smapsBuffer))
                                 : QStringLiteral("N/A");
            if (stat.hasCpuTimes())
                cpuHistory.setMemory(pid, process.memory);
        }
        process.nice = stat.nice.isEmpty() ? QStringLiteral("0") : QString::fromLatin1(stat.nice);
        process.iconNames = iconResolver.iconNamesFor(process.name, process.user);
        processes.append(process);
    }
    ::closedir(dir);
    cpuHistory.endScan();
    return processes;
}

std::optional<qint64> ProcessScanner::startTimeOf(qint64 pid) {
    if (pid <= 0)
        return std::nullopt;
    const QByteArray path = QFile::encodeName(SystemPaths::path(QStringLiteral("/proc/%1/stat").arg(pid)));
    QByteArray buffer;
    if (!readWholeFile(path.constData(), buffer))
        return std::nullopt;
    const ProcessParser::StatFields stat = ProcessParser::parseStat(buffer);
    if (stat.fieldCount <= 21)
        return std::nullopt;
    return stat.startTime;
}
