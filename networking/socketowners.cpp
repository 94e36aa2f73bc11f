#include "socketowners.h"

#include "systempaths.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <dirent.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcConnections)

namespace {

QByteArray procRoot() {
    return QFile::encodeName(SystemPaths::path(QStringLiteral("/proc")));
}

// The process ids under /proc, as listed.
QStringList processIds() {
    QStringList pids;
    if (DIR* proc = ::opendir(procRoot().constData())) {
        while (const dirent* entry = ::readdir(proc)) {
            bool isPid = false;
            const QString name = QString::fromLatin1(entry->d_name);
            name.toInt(&isPid);
            if (isPid)
                pids << name;
        }
        ::closedir(proc);
    }
    return pids;
}

// Hands the inode of every socket the process holds to take(inode), until
// take returns false.
template <typename Take> void forEachSocketOf(const QString& pid, Take take) {
    const QByteArray fdPath = procRoot() + '/' + pid.toLatin1() + "/fd";
    DIR* fdDir = ::opendir(fdPath.constData());
    if (!fdDir)
        return; // gone, or not ours to read
    const int fdDirFd = ::dirfd(fdDir);
    char target[256];
    while (const dirent* entry = ::readdir(fdDir)) {
        if (entry->d_name[0] == '.')
            continue;
        const ssize_t length = ::readlinkat(fdDirFd, entry->d_name, target, sizeof target - 1);
        if (length <= 0)
            continue;
        const quint64 inode = SocketOwners::socketInodeOfLink(QString::fromLatin1(target, int(length)));
        if (inode && !take(inode))
            break;
    }
    ::closedir(fdDir);
}

} // namespace

SocketOwners::SocketOwners() {
    processNameCache.setMaxCost(1000);
}

quint64 SocketOwners::socketInodeOfLink(const QString& target) {
    static const QLatin1String prefix("socket:[");
    const int start = target.indexOf(prefix);
    if (start < 0)
        return 0;
    const int digits = start + prefix.size();
    const int end = target.indexOf(QLatin1Char(']'), digits);
    if (end <= digits)
        return 0;
    bool ok = false;
    const quint64 inode = target.midRef(digits, end - digits).toULongLong(&ok);
    return ok ? inode : 0;
}

QMap<quint64, QString> SocketOwners::buildInodeToPidMap() const {
    QMap<quint64, QString> map;
    QStringList pids = processIds();
    // When several processes share a socket, the first in name order keeps it.
    pids.sort();
    for (const QString& pid : qAsConst(pids))
        forEachSocketOf(pid, [&](quint64 inode) {
            if (!map.contains(inode))
                map.insert(inode, pid);
            return true;
        });
    return map;
}

QMap<quint64, QString> SocketOwners::findSocketOwners(QSet<quint64> inodes,
                                                      const QStringList& likelyPids) const {
    QMap<quint64, QString> owners;
    auto search = [&](const QString& pid) {
        forEachSocketOf(pid, [&](quint64 inode) {
            if (inodes.remove(inode))
                owners.insert(inode, pid);
            return !inodes.isEmpty();
        });
        return !inodes.isEmpty();
    };
    for (const QString& pid : likelyPids)
        if (!search(pid))
            return owners;
    // Then the newest processes first: a program just started is as likely
    // to have made the socket as one that already talks on the network.
    QStringList pids = processIds();
    std::sort(pids.begin(), pids.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& pid : qAsConst(pids))
        if (!likelyPids.contains(pid) && !search(pid))
            break;
    return owners;
}

QString SocketOwners::getProcessName(const QString& pid) {
    if (const QString* cached = processNameCache.object(pid))
        return *cached;
    QString name = QStringLiteral("Unknown");
    const QString base = SystemPaths::path(QStringLiteral("/proc/") + pid);
    QFile comm(base + QStringLiteral("/comm"));
    // A process that ended after the socket scan found it is no fault.
    if (!comm.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCDebug(lcConnections).noquote() << "Process" << pid << "ended before its name was read";
    } else {
        name = QString::fromUtf8(comm.readLine()).trimmed();
        if (name.isEmpty()) {
            const QString exe = QFileInfo(base + QStringLiteral("/exe")).symLinkTarget();
            name = QFileInfo(exe).fileName();
        }
    }
    if (name.isEmpty())
        name = QStringLiteral("Unknown");
    processNameCache.insert(pid, new QString(name), 1);
    return name;
}
