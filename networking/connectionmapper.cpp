#include "connectionmapper.h"

#include "systempaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QMetaType>
#include <QTimer>
#include <QVector>

#include <dirent.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcConnections, "tessmar.connections", QtWarningMsg)

ConnectionMapper::ConnectionMapper(QObject* parent)
    : QObject(parent), snapshot(std::make_shared<Snapshot>()) {
    qRegisterMetaType<ConnectionInfo>("ConnectionInfo");
    processNameCache.setMaxCost(1000);
    refreshTimer = new QTimer(this);
    refreshTimer->setInterval(5000);
    connect(refreshTimer, &QTimer::timeout, this, &ConnectionMapper::refreshConnections);
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
}

void ConnectionMapper::startRefreshing() {
    refreshConnections();
    refreshTimer->start();
}

void ConnectionMapper::stopRefreshing() {
    refreshTimer->stop();
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

quint64 ConnectionMapper::socketInodeOfLink(const QString& target) {
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

QMap<quint64, QString> ConnectionMapper::buildInodeToPidMap() const {
    QMap<quint64, QString> map;
    const QByteArray procRoot = QFile::encodeName(SystemPaths::path(QStringLiteral("/proc")));
    QStringList pids;
    if (DIR* proc = ::opendir(procRoot.constData())) {
        while (const dirent* entry = ::readdir(proc)) {
            bool isPid = false;
            const QString name = QString::fromLatin1(entry->d_name);
            name.toInt(&isPid);
            if (isPid)
                pids << name;
        }
        ::closedir(proc);
    }
    // When several processes share a socket, the first in name order keeps it.
    pids.sort();
    char target[256];
    for (const QString& pid : qAsConst(pids)) {
        const QByteArray fdPath = procRoot + '/' + pid.toLatin1() + "/fd";
        DIR* fdDir = ::opendir(fdPath.constData());
        if (!fdDir)
            continue; // gone, or not ours to read
        const int fdDirFd = ::dirfd(fdDir);
        while (const dirent* entry = ::readdir(fdDir)) {
            if (entry->d_name[0] == '.')
                continue;
            const ssize_t length = ::readlinkat(fdDirFd, entry->d_name, target, sizeof target - 1);
            if (length <= 0)
                continue;
            const quint64 inode = socketInodeOfLink(QString::fromLatin1(target, int(length)));
            if (inode && !map.contains(inode))
                map.insert(inode, pid);
        }
        ::closedir(fdDir);
    }
    return map;
}

QString ConnectionMapper::getProcessName(const QString& pid) {
    if (const QString* cached = processNameCache.object(pid))
        return *cached;
    QString name = QStringLiteral("Unknown");
    const QString base = SystemPaths::path(QStringLiteral("/proc/") + pid);
    QFile comm(base + QStringLiteral("/comm"));
    if (!comm.exists()) {
        qWarning().noquote() << "/proc/" + pid + "/comm does not exist.";
    } else if (!comm.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning().noquote() << "Failed to open /proc/" + pid + "/comm";
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

QString ConnectionMapper::endpointsKey(const QString& protocol, const QString& addressA, quint16 portA,
                                       const QString& addressB, quint16 portB) {
    QString a = addressA + QLatin1Char(':') + QString::number(portA);
    QString b = addressB + QLatin1Char(':') + QString::number(portB);
    if (b < a)
        std::swap(a, b);
    return protocol + QLatin1Char('|') + a + QLatin1Char('|') + b;
}

QString ConnectionMapper::addressesKey(const QString& protocol, const QString& addressA,
                                       const QString& addressB) {
    return addressA <= addressB ? protocol + QLatin1Char('|') + addressA + QLatin1Char('|') + addressB
                                : protocol + QLatin1Char('|') + addressB + QLatin1Char('|') + addressA;
}

void ConnectionMapper::refreshConnections() {
    QMutexLocker refreshLock(&refreshMutex);
    auto next = std::make_shared<Snapshot>();
    next->connections = parseProcNetFile(QStringLiteral("/proc/net/tcp"), QStringLiteral("TCP"));
    next->connections += parseProcNetFile(QStringLiteral("/proc/net/udp"), QStringLiteral("UDP"));
    next->connections += parseProcNetFile(QStringLiteral("/proc/net/tcp6"), QStringLiteral("TCP6"));
    next->connections += parseProcNetFile(QStringLiteral("/proc/net/udp6"), QStringLiteral("UDP6"));
    next->inodeToPid = buildInodeToPidMap();
    for (const ConnectionInfo& entry : qAsConst(next->connections)) {
        const auto pid = next->inodeToPid.constFind(entry.inode);
        if (pid == next->inodeToPid.cend())
            continue; // a socket without a known process is passed over
        const QString name = getProcessName(*pid);
        // The first socket listed keeps a key.
        const QString endpoints = endpointsKey(entry.protocol, entry.localAddress, entry.localPort,
                                               entry.remoteAddress, entry.remotePort);
        if (!next->byEndpoints.contains(endpoints))
            next->byEndpoints.insert(endpoints, name);
        const QString addresses = addressesKey(entry.protocol, entry.localAddress, entry.remoteAddress);
        if (!next->byAddresses.contains(addresses))
            next->byAddresses.insert(addresses, name);
    }
    qCDebug(lcConnections) << "Connection table refreshed:" << next->connections.size() << "sockets";
    std::shared_ptr<const Snapshot> previous = std::move(next);
    {
        QMutexLocker lock(&mutex);
        snapshot.swap(previous);
    }
    // The replaced tables are kept until the next refresh, so that a lookup
    // still holding them is never the one that frees them on the capture
    // thread; the tables of two refreshes ago are freed here, outside the lock.
    retired = std::move(previous);
}

QString ConnectionMapper::getApplicationName(const ConnectionInfo& info) const {
    for (const WellKnownService& service : wellKnownServices) {
        if (service.protocol.compare(info.protocol, Qt::CaseInsensitive) != 0)
            continue;
        const bool anyAddress = service.address == QLatin1String("*");
        bool matches;
        if (service.role == QLatin1String("client") || service.role == QLatin1String("server")) {
            matches =
                service.port == info.remotePort && (anyAddress || service.address == info.remoteAddress);
        } else if (service.role == QLatin1String("both")) {
            matches =
                (service.port == info.remotePort || service.port == info.localPort) &&
                (anyAddress || service.address == info.remoteAddress || service.address == info.localAddress);
        } else {
            matches = true;
        }
        if (matches)
            return service.name;
    }

    std::shared_ptr<const Snapshot> current;
    {
        QMutexLocker lock(&mutex);
        current = snapshot;
    }
    auto found = current->byEndpoints.constFind(
        endpointsKey(info.protocol, info.localAddress, info.localPort, info.remoteAddress, info.remotePort));
    if (found != current->byEndpoints.cend())
        return *found;
    found =
        current->byAddresses.constFind(addressesKey(info.protocol, info.localAddress, info.remoteAddress));
    if (found != current->byAddresses.cend())
        return *found;
    return QStringLiteral("Unknown");
}
