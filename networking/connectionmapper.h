#pragma once

#include "connectioninfo.h"

#include <QCache>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <memory>

class QTimer;

// One row of the table of services named before the socket tables are asked.
struct WellKnownService {
    QString name;
    QString protocol;
    quint16 port = 0;
    QString address; // "*" matches any address
    QString role;    // "client", "server" or "both"
};

// Names the program behind a packet from the kernel's socket tables
// (/proc/net/tcp, udp, tcp6, udp6) and the socket links under /proc/<pid>/fd.
// The snapshot is rebuilt every 5 s while refreshing is switched on; the new
// one is built without the lock and swapped in, so a lookup from the capture
// thread only ever waits for a pointer copy.
class ConnectionMapper : public QObject {
    Q_OBJECT
public:
    explicit ConnectionMapper(QObject* parent = nullptr);
    ~ConnectionMapper() override;

    // A well-known service name, the owning process's name, or "Unknown".
    // Callable from any thread.
    QString getApplicationName(const ConnectionInfo& info) const;

    // Periodic refreshes run only while a capture needs them.
    void startRefreshing();
    void stopRefreshing();

    // Pure parts, for the tests.
    static QList<ConnectionInfo> parseProcNetTable(const QByteArray& text, const QString& protocol,
                                                   const QString& source = QString());
    static QString hexToIpAddress(const QString& hex);
    static quint16 hexToPort(const QString& hex);
    // The inode of a "socket:[N]" link target, 0 for anything else.
    static quint64 socketInodeOfLink(const QString& target);

public slots:
    void refreshConnections();

private:
    struct Snapshot {
        QList<ConnectionInfo> connections;
        QMap<quint64, QString> inodeToPid;
        // Process names by protocol and address pair (in either order), with
        // and without the two ports: a packet whose ports match a socket is
        // named after that socket, any other after the first socket between
        // the same two addresses.
        QHash<QString, QString> byEndpoints;
        QHash<QString, QString> byAddresses;
    };

    void initializeWellKnownServices();
    QList<ConnectionInfo> parseProcNetFile(const QString& path, const QString& protocol) const;
    QMap<quint64, QString> buildInodeToPidMap() const;
    QString getProcessName(const QString& pid);
    static QString endpointsKey(const QString& protocol, const QString& addressA, quint16 portA,
                                const QString& addressB, quint16 portB);
    static QString addressesKey(const QString& protocol, const QString& addressA, const QString& addressB);

    QList<WellKnownService> wellKnownServices;
    // Used by the refresh only (one thread at a time, under refreshMutex).
    QCache<QString, QString> processNameCache;
    QMutex refreshMutex;
    // Guards only the swap and the copy of the snapshot pointer.
    mutable QMutex mutex;
    std::shared_ptr<const Snapshot> snapshot;
    std::shared_ptr<const Snapshot> retired; // refresh thread only
    QTimer* refreshTimer;
};
