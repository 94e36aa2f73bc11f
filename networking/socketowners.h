#pragma once

#include <QCache>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// The processes behind the machine's sockets: which process holds each
// socket inode (the "socket:[N]" links under /proc/<pid>/fd) and what it is
// called. Used by one thread at a time, the connection mapper's refresh.
class SocketOwners {
public:
    SocketOwners();

    // The process of every socket; when several processes share a socket,
    // the first in name order keeps it.
    QMap<quint64, QString> buildInodeToPidMap() const;
    // The processes holding the sockets, looked for in likelyPids first.
    QMap<quint64, QString> findSocketOwners(QSet<quint64> inodes, const QStringList& likelyPids) const;
    // The process's name, remembered for later refreshes; "Unknown" for one
    // that ended meanwhile.
    QString getProcessName(const QString& pid);

    // The inode of a "socket:[N]" link target, 0 for anything else.
    static quint64 socketInodeOfLink(const QString& target);

private:
    QCache<QString, QString> processNameCache;
};
