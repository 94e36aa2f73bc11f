#pragma once

#include <QMetaType>
#include <QString>

// One socket of the kernel's /proc/net tables, or a packet's query for one.
struct ConnectionInfo {
    QString protocol;
    QString localAddress;
    quint16 localPort = 0;
    QString remoteAddress;
    quint16 remotePort = 0;
    quint64 inode = 0;
    QString direction;
};

Q_DECLARE_METATYPE(ConnectionInfo)
