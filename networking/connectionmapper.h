#pragma once

#include "connectioninfo.h"
#include "socketowners.h"

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <array>
#include <atomic>
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
//
// A packet is named after the socket whose two endpoints (addresses and
// ports) are the packet's, or else after a socket listening on the packet's
// port on this machine; never after addresses alone, which would hand the
// packets of one server to another program talking to the same host. A
// dual-stack socket ("::ffff:a.b.c.d" in tcp6 and udp6) counts as the IPv4
// socket it is, and one listening on "::" listens on IPv4 too.
//
// The snapshot is rebuilt every 5 s while refreshing is switched on, and at
// once after a lookup missed (requestRefresh), so that a connection is
// named while its socket still lives, even one that lasts a few tens of
// milliseconds. Refreshes are limited to 5 in any second: a burst of new
// connections gets the first ones at once, the rest soon after. Each
// snapshot is built without the lock and swapped in whole; a lookup works
// on a snapshot it holds, so it never waits for a refresh.
class ConnectionMapper : public QObject {
    Q_OBJECT
public:
    static constexpr int RefreshInterval = 5000;
    static constexpr int RefreshesPerSecond = 5;

    // A packet's endpoints, in host order. The two flags say whether the
    // address may be this machine's; only then may a listening socket on
    // that side name the packet.
    struct Query {
        quint8 protocol = 0; // IP protocol number
        quint32 sourceAddress = 0;
        quint16 sourcePort = 0;
        quint32 destinationAddress = 0;
        quint16 destinationPort = 0;
        bool sourceIsLocal = true;
        bool destinationIsLocal = true;
    };
    // Which end of the packet the named program's socket is.
    enum class Owner { Unknown, Source, Destination };
    struct Answer {
        QString name;
        Owner owner = Owner::Unknown;
        bool found = false; // false: "Unknown"
        // Not found, and the tables list the connection as closed: newer
        // tables will not name it either.
        bool closed = false;
    };

    class Snapshot;

    explicit ConnectionMapper(QObject* parent = nullptr);
    ~ConnectionMapper() override;

    // A well-known service name, the owning process's name, or "Unknown".
    // Callable from any thread. The protocol is "TCP", "UDP" or a number.
    QString getApplicationName(const ConnectionInfo& info) const;

    // The capture's lookup: the snapshot is one the caller holds (see
    // currentSnapshot), so many lookups take no lock at all.
    Answer lookup(const Query& query, const Snapshot& tables) const;
    std::shared_ptr<const Snapshot> currentSnapshot() const;
    // Grows by one with every refresh; a holder of an older snapshot fetches
    // the current one when this moves. Any thread.
    quint64 generation() const { return snapshotGeneration.load(std::memory_order_acquire); }

    // Any thread: a packet matched nothing, the tables may be stale. The
    // refresh runs on the mapper's thread, at once unless 5 ran in the last
    // second.
    void requestRefresh();

    // Periodic refreshes run only while a capture needs them.
    void startRefreshing();
    void stopRefreshing();

    // Pure parts, for the tests.
    static QList<ConnectionInfo> parseProcNetTable(const QByteArray& text, const QString& protocol,
                                                   const QString& source = QString());
    static QString hexToIpAddress(const QString& hex);
    static quint16 hexToPort(const QString& hex);

public slots:
    void refreshConnections();

private:
    struct WellKnownRule {
        quint8 protocol;
        quint16 port;
        quint32 address; // 0: any
        bool eitherSide; // "both": the port and address may be on either end
    };

    void initializeWellKnownServices();
    void refreshWhenDue();
    // A full refresh, or one that keeps the processes of the sockets the
    // last tables had and looks only for those of new sockets.
    void refresh(bool newSocketsOnly);
    void refreshNewSockets();
    QList<ConnectionInfo> parseProcNetFile(const QString& path, const QString& protocol) const;
    const QString* wellKnownName(const Query& query) const;

    QList<WellKnownService> wellKnownServices;
    QVector<WellKnownRule> wellKnownRules; // the same table, as numbers
    // Used by the refresh only (one thread at a time, under refreshMutex).
    SocketOwners socketOwners;
    QMutex refreshMutex;
    // Guards only the swap and the copy of the snapshot pointer.
    mutable QMutex mutex;
    std::shared_ptr<const Snapshot> snapshot;
    std::atomic<quint64> snapshotGeneration{0};
    std::atomic<bool> refreshRequested{false};
    // Start times of the last refreshes, in a ring (under refreshMutex).
    QElapsedTimer clock;
    std::array<qint64, RefreshesPerSecond> recentRefreshes;
    int nextRefreshSlot = 0;
    QTimer* refreshTimer;
    QTimer* dueTimer;
};
