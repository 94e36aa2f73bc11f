#include "connectionmapper.h"

#include "packetflow.h"
#include "systempaths.h"

#include <QFile>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QMetaType>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <limits>

Q_LOGGING_CATEGORY(lcConnections, "tessmar.connections", QtWarningMsg)

namespace {

constexpr quint8 ProtocolTcp = 6;
constexpr quint8 ProtocolUdp = 17;

quint64 endpoint(quint32 address, quint16 port) {
    return PacketFlow::endpoint(address, port);
}

// A listening (or unconnected) socket's protocol and local end; address 0
// listens on every address.
quint64 listenKey(quint8 protocol, quint32 address, quint16 port) {
    return (quint64(protocol) << 48) | endpoint(address, port);
}

quint8 protocolNumber(const QString& text) {
    if (text.startsWith(QLatin1String("TCP"), Qt::CaseInsensitive))
        return ProtocolTcp;
    if (text.startsWith(QLatin1String("UDP"), Qt::CaseInsensitive))
        return ProtocolUdp;
    return quint8(text.toUInt());
}

// The IPv4 address of a socket table address text: dotted IPv4, or an
// IPv4-mapped IPv6 address of a dual-stack socket. "::" and "0.0.0.0" read
// as 0 with wildcard set; any other IPv6 address is not IPv4.
bool ipv4Of(const QString& text, quint32& address, bool& wildcard) {
    // Dotted IPv4, by far the most common, without QHostAddress.
    quint32 value = 0, part = 0;
    int dots = 0, digits = 0;
    bool plain = !text.isEmpty();
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9') && digits < 3) {
            part = part * 10 + quint32(c.unicode() - '0');
            ++digits;
        } else if (c == QLatin1Char('.') && digits && dots < 3) {
            value = (value << 8) | part;
            part = 0;
            digits = 0;
            ++dots;
        } else {
            plain = false;
            break;
        }
    }
    if (plain && dots == 3 && digits && part < 256) {
        address = (value << 8) | part;
        wildcard = address == 0;
        return true;
    }
    const QHostAddress host(text);
    bool ok = false;
    address = host.toIPv4Address(&ok);
    wildcard = (ok && address == 0) || host == QHostAddress(QHostAddress::AnyIPv6);
    if (wildcard)
        address = 0;
    return ok || wildcard;
}

} // namespace

class ConnectionMapper::Snapshot {
public:
    struct Owner {
        QString name;
        quint64 localEnd; // the named socket's own end
    };
    QList<ConnectionInfo> connections;
    QMap<quint64, QString> inodeToPid;
    QHash<PacketFlow, Owner> byEndpoints;
    QHash<quint64, QString> listeners;
    QSet<PacketFlow> closedConnections;
};

ConnectionMapper::ConnectionMapper(QObject* parent)
    : QObject(parent), snapshot(std::make_shared<Snapshot>()) {
    qRegisterMetaType<ConnectionInfo>("ConnectionInfo");
    clock.start();
    recentRefreshes.fill(std::numeric_limits<qint64>::min() / 2);
    refreshTimer = new QTimer(this);
    refreshTimer->setInterval(RefreshInterval);
    connect(refreshTimer, &QTimer::timeout, this, &ConnectionMapper::refreshConnections);
    dueTimer = new QTimer(this);
    dueTimer->setSingleShot(true);
    connect(dueTimer, &QTimer::timeout, this, &ConnectionMapper::refreshNewSockets);
    initializeWellKnownServices();
}

ConnectionMapper::~ConnectionMapper() = default;

void ConnectionMapper::initializeWellKnownServices() {
    // DNS is named by port 53 on either side; a packet that merely is UDP is
    // left to the socket tables.
    wellKnownServices = {
        {QStringLiteral("DNS"), QStringLiteral("UDP"), 53, QStringLiteral("*"), QStringLiteral("both")},
        {QStringLiteral("SSDP - Service Discovery"), QStringLiteral("UDP"), 1900,
         QStringLiteral("239.255.255.250"), QStringLiteral("client")},
        {QStringLiteral("SSDP - Service Discovery"), QStringLiteral("UDP"), 1900, QStringLiteral("*"),
         QStringLiteral("server")},
    };
    for (const WellKnownService& service : qAsConst(wellKnownServices)) {
        const bool anyAddress = service.address == QLatin1String("*");
        wellKnownRules.append({protocolNumber(service.protocol), service.port,
                               anyAddress ? 0 : QHostAddress(service.address).toIPv4Address(),
                               service.role == QLatin1String("both")});
    }
}

void ConnectionMapper::startRefreshing() {
    refreshConnections();
    refreshTimer->start();
}

void ConnectionMapper::stopRefreshing() {
    refreshTimer->stop();
    dueTimer->stop();
}

void ConnectionMapper::requestRefresh() {
    if (refreshRequested.exchange(true))
        return; // one is on its way
    QMetaObject::invokeMethod(
        this, [this] { refreshWhenDue(); }, Qt::QueuedConnection);
}

void ConnectionMapper::refreshWhenDue() {
    if (!refreshTimer->isActive())
        return; // no capture needs the tables
    qint64 wait;
    {
        QMutexLocker refreshLock(&refreshMutex);
        // The refresh this one would be the next after in the ring started
        // RefreshesPerSecond refreshes ago.
        wait = recentRefreshes[nextRefreshSlot] + 1000 - clock.elapsed();
    }
    if (wait <= 0)
        refreshNewSockets();
    else if (!dueTimer->isActive())
        dueTimer->start(int(wait));
}

std::shared_ptr<const ConnectionMapper::Snapshot> ConnectionMapper::currentSnapshot() const {
    QMutexLocker lock(&mutex);
    return snapshot;
}

QString ConnectionMapper::hexToIpAddress(const QString& hex) {
    if (hex.size() == 8) {
        bool ok = false;
        const quint32 v = hex.toUInt(&ok, 16);
        const quint32 value = ok ? v : 0;
        return QStringLiteral("%1.%2.%3.%4")
            .arg(value & 255)
            .arg((value >> 8) & 255)
            .arg((value >> 16) & 255)
            .arg((value >> 24) & 255);
    }
    if (hex.size() == 32) {
        Q_IPV6ADDR address;
        for (int word = 0; word < 4; ++word) {
            for (int byte = 0; byte < 4; ++byte) {
                // Each 32-bit word is written lowest byte last.
                const QString pair = hex.mid(word * 8 + (3 - byte) * 2, 2);
                bool ok = false;
                const uint value = pair.toUInt(&ok, 16);
                if (!ok) {
                    qWarning() << "Invalid hex segment:" << pair;
                    return QStringLiteral("0:0:0:0:0:0:0:0");
                }
                address[word * 4 + byte] = quint8(value);
            }
        }
        return QHostAddress(address).toString();
    }
    return QStringLiteral("0.0.0.0");
}

quint16 ConnectionMapper::hexToPort(const QString& hex) {
    if (hex.size() != 4) {
        qWarning() << "Invalid hex length for port:" << hex;
        return 0;
    }
    bool ok = false;
    const uint value = hex.toUInt(&ok, 16);
    if (!ok) {
        qWarning() << "Failed to convert port hex to ushort:" << hex;
        return 0;
    }
    return quint16(value);
}

QList<ConnectionInfo> ConnectionMapper::parseProcNetTable(const QByteArray& text, const QString& protocol,
                                                          const QString& source) {
    QList<ConnectionInfo> entries;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 1; i < lines.size(); ++i) { // the first line is the column header
        const QByteArray line = lines[i].simplified();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 10) {
            qWarning().noquote() << "Unexpected format in" << source << ":" << QString::fromLatin1(line);
            continue;
        }
        const QList<QByteArray> local = fields[1].split(':');
        const QList<QByteArray> remote = fields[2].split(':');
        if (local.size() != 2 || remote.size() != 2) {
            qWarning().noquote() << "Invalid address format in" << source << ":" << QString::fromLatin1(line);
            continue;
        }
        bool ok = false;
        const quint64 inode = fields[9].toULongLong(&ok);
        ConnectionInfo entry;
        entry.protocol = protocol;
        entry.localAddress = QHostAddress(hexToIpAddress(QString::fromLatin1(local[0]))).toString();
        entry.localPort = hexToPort(QString::fromLatin1(local[1]));
        entry.remoteAddress = QHostAddress(hexToIpAddress(QString::fromLatin1(remote[0]))).toString();
        entry.remotePort = hexToPort(QString::fromLatin1(remote[1]));
        entry.inode = ok ? inode : 0;
        // A dual-stack socket of an IPv4 connection is that IPv4 socket.
        if (protocol.endsWith(QLatin1Char('6'))) {
            const QHostAddress localHost(entry.localAddress), remoteHost(entry.remoteAddress);
            bool localIs4 = false, remoteIs4 = false;
            const quint32 local4 = localHost.toIPv4Address(&localIs4);
            const quint32 remote4 = remoteHost.toIPv4Address(&remoteIs4);
            if (localIs4 && remoteIs4) {
                entry.protocol = protocol.chopped(1);
                entry.localAddress = QHostAddress(local4).toString();
                entry.remoteAddress = QHostAddress(remote4).toString();
            }
        }
        entries.append(entry);
    }
    return entries;
}

QList<ConnectionInfo> ConnectionMapper::parseProcNetFile(const QString& path, const QString& protocol) const {
    QFile file(SystemPaths::path(path));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Failed to open" << path;
        return {};
    }
    return parseProcNetTable(file.readAll(), protocol, path);
}

void ConnectionMapper::refreshConnections() {
    refresh(false);
}

void ConnectionMapper::refreshNewSockets() {
    refresh(true);
}

void ConnectionMapper::refresh(bool newSocketsOnly) {
    QMutexLocker refreshLock(&refreshMutex);
    refreshRequested = false; // a miss from now on asks again
    const qint64 started = clock.elapsed();
    recentRefreshes[nextRefreshSlot] = started;
    nextRefreshSlot = (nextRefreshSlot + 1) % RefreshesPerSecond;
    auto next = std::make_shared<Snapshot>();
    next->connections = parseProcNetFile(QStringLiteral("/proc/net/tcp"), QStringLiteral("TCP"));
    next->connections += parseProcNetFile(QStringLiteral("/proc/net/udp"), QStringLiteral("UDP"));
    next->connections += parseProcNetFile(QStringLiteral("/proc/net/tcp6"), QStringLiteral("TCP6"));
    next->connections += parseProcNetFile(QStringLiteral("/proc/net/udp6"), QStringLiteral("UDP6"));
    const std::shared_ptr<const Snapshot> last = currentSnapshot();
    if (newSocketsOnly && generation() > 0) {
        // The sockets of the last tables keep their processes; only the new
        // ones are looked for, first among the processes that held sockets,
        // and the search ends when all are found. It takes a fraction of a
        // full scan, so a short connection is found before it closes.
        QSet<quint64> known, wanted;
        QStringList likelyPids;
        for (const ConnectionInfo& entry : qAsConst(last->connections)) {
            known.insert(entry.inode);
            const QString pid = last->inodeToPid.value(entry.inode);
            if (!pid.isEmpty() && !likelyPids.contains(pid))
                likelyPids << pid;
        }
        for (const ConnectionInfo& entry : qAsConst(next->connections)) {
            if (!entry.inode)
                continue;
            if (!known.contains(entry.inode))
                wanted.insert(entry.inode);
            else if (last->inodeToPid.contains(entry.inode))
                next->inodeToPid.insert(entry.inode, last->inodeToPid.value(entry.inode));
        }
        if (!wanted.isEmpty()) {
            const QMap<quint64, QString> found = socketOwners.findSocketOwners(wanted, likelyPids);
            for (auto it = found.cbegin(); it != found.cend(); ++it)
                next->inodeToPid.insert(it.key(), it.value());
        }
    } else {
        next->inodeToPid = socketOwners.buildInodeToPidMap();
    }
    for (const ConnectionInfo& entry : qAsConst(next->connections)) {
        quint32 local = 0, remote = 0;
        bool localWildcard = false, remoteWildcard = false;
        if (!ipv4Of(entry.localAddress, local, localWildcard) ||
            !ipv4Of(entry.remoteAddress, remote, remoteWildcard))
            continue; // IPv6 proper: no IPv4 packet belongs to it
        const quint8 protocol = protocolNumber(entry.protocol);
        const auto pid = next->inodeToPid.constFind(entry.inode);
        if (pid == next->inodeToPid.cend()) {
            // A closed connection's socket (TIME_WAIT and the like) has no
            // inode and never gets one: newer tables will not name it.
            if (!entry.inode && !localWildcard && entry.remotePort)
                next->closedConnections.insert(PacketFlow::between(protocol, endpoint(local, entry.localPort),
                                                                   endpoint(remote, entry.remotePort)));
            continue; // a socket without a known process is passed over
        }
        const QString name = socketOwners.getProcessName(*pid);
        // The first socket listed keeps a key.
        if (remoteWildcard && entry.remotePort == 0) {
            const quint64 key = listenKey(protocol, local, entry.localPort);
            if (!next->listeners.contains(key))
                next->listeners.insert(key, name);
        } else if (!localWildcard) {
            const quint64 localEnd = endpoint(local, entry.localPort);
            const PacketFlow key =
                PacketFlow::between(protocol, localEnd, endpoint(remote, entry.remotePort));
            if (!next->byEndpoints.contains(key))
                next->byEndpoints.insert(key, {name, localEnd});
        }
    }
    qCDebug(lcConnections) << (newSocketsOnly ? "New sockets looked up:" : "Connection table refreshed:")
                           << next->connections.size() << "sockets in" << clock.elapsed() - started << "ms";
    std::shared_ptr<const Snapshot> previous = std::move(next);
    {
        QMutexLocker lock(&mutex);
        snapshot.swap(previous);
        snapshotGeneration.fetch_add(1, std::memory_order_release);
    }
    // The replaced tables are freed here, outside the lock, unless a lookup
    // still holds them.
}

const QString* ConnectionMapper::wellKnownName(const Query& query) const {
    for (int i = 0; i < wellKnownRules.size(); ++i) {
        const WellKnownRule& rule = wellKnownRules.at(i);
        if (rule.protocol != query.protocol)
            continue;
        const bool matches = rule.eitherSide
                                 ? (rule.port == query.destinationPort || rule.port == query.sourcePort) &&
                                       (!rule.address || rule.address == query.destinationAddress ||
                                        rule.address == query.sourceAddress)
                                 : rule.port == query.destinationPort &&
                                       (!rule.address || rule.address == query.destinationAddress);
        if (matches)
            return &wellKnownServices.at(i).name;
    }
    return nullptr;
}

ConnectionMapper::Answer ConnectionMapper::lookup(const Query& query, const Snapshot& tables) const {
    if (const QString* name = wellKnownName(query))
        return {*name, Owner::Unknown, true};
    if (query.protocol == ProtocolTcp || query.protocol == ProtocolUdp) {
        const quint64 source = endpoint(query.sourceAddress, query.sourcePort);
        const quint64 destination = endpoint(query.destinationAddress, query.destinationPort);
        const auto socket =
            tables.byEndpoints.constFind(PacketFlow::between(query.protocol, source, destination));
        if (socket != tables.byEndpoints.cend())
            return {socket->name, socket->localEnd == source ? Owner::Source : Owner::Destination, true};
        auto listener = [&](quint32 address, quint16 port) -> const QString* {
            auto found = tables.listeners.constFind(listenKey(query.protocol, address, port));
            if (found == tables.listeners.cend())
                found = tables.listeners.constFind(listenKey(query.protocol, 0, port));
            return found == tables.listeners.cend() ? nullptr : &*found;
        };
        // The server's end: the packet came to it, or it answers from it.
        if (query.destinationIsLocal && query.destinationPort)
            if (const QString* name = listener(query.destinationAddress, query.destinationPort))
                return {*name, Owner::Destination, true};
        if (query.sourceIsLocal && query.sourcePort)
            if (const QString* name = listener(query.sourceAddress, query.sourcePort))
                return {*name, Owner::Source, true};
        if (tables.closedConnections.contains(PacketFlow::between(query.protocol, source, destination)))
            return {QStringLiteral("Unknown"), Owner::Unknown, false, true};
    }
    return {QStringLiteral("Unknown"), Owner::Unknown};
}

QString ConnectionMapper::getApplicationName(const ConnectionInfo& info) const {
    Query query;
    query.protocol = protocolNumber(info.protocol);
    query.sourceAddress = QHostAddress(info.localAddress).toIPv4Address();
    query.sourcePort = info.localPort;
    query.destinationAddress = QHostAddress(info.remoteAddress).toIPv4Address();
    query.destinationPort = info.remotePort;
    // The direction, when given, tells which end is this machine's.
    if (info.direction == QLatin1String("Outgoing"))
        query.destinationIsLocal = false;
    else if (info.direction == QLatin1String("Incoming"))
        query.sourceIsLocal = false;
    return lookup(query, *currentSnapshot()).name;
}
