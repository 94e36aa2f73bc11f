#include "workernetworkingpacketsniffer.h"

#include "connectionmapper.h"
#include "packetdecoder.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <chrono>
#include <limits>
#include <pcap/pcap.h>
#include <pthread.h>

Q_LOGGING_CATEGORY(lcSniffer, "tessmar.sniffer", QtWarningMsg)

WorkerNetworkingPacketSniffer::WorkerNetworkingPacketSniffer(QObject* parent)
    : QObject(parent), connectionMapper(new ConnectionMapper(this)) {
    qCDebug(lcSniffer) << "WorkerNetworkingPacketSniffer constructed.";
    const QStringList addresses = getLocalIPAddresses();
    localIPs = QSet<QString>(addresses.cbegin(), addresses.cend());
}

WorkerNetworkingPacketSniffer::~WorkerNetworkingPacketSniffer() {
    qCDebug(lcSniffer) << "WorkerNetworkingPacketSniffer destructed.";
    QMutexLocker lock(&captureMutex);
    stopLocked();
    if (captureThread.joinable())
        captureThread.join();
}

QStringList WorkerNetworkingPacketSniffer::getLocalIPAddresses() {
    QStringList addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const auto protocol = entry.ip().protocol();
            if (protocol == QAbstractSocket::IPv4Protocol || protocol == QAbstractSocket::IPv6Protocol)
                addresses << entry.ip().toString();
        }
    }
    qCDebug(lcSniffer) << "Local IP Addresses:" << addresses;
    return addresses;
}

QString WorkerNetworkingPacketSniffer::directionOf(const PacketInfo& packet,
                                                   const QSet<QString>& localAddresses) {
    if (localAddresses.contains(packet.sourceIP))
        return QStringLiteral("Outgoing");
    if (localAddresses.contains(packet.destinationIP))
        return QStringLiteral("Incoming");
    return QStringLiteral("Broadcast");
}

namespace {
qint64 nowMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}
} // namespace

void WorkerNetworkingPacketSniffer::pauseProcessing() {
    pausedUntil = std::numeric_limits<qint64>::max();
    pausedFrom = nowMicroseconds();
    paused = true;
}

void WorkerNetworkingPacketSniffer::resumeProcessing() {
    pausedUntil = nowMicroseconds();
    paused = false;
}

void WorkerNetworkingPacketSniffer::startCapture(const QString& name) {
    QMutexLocker lock(&captureMutex);
    if (capturing) {
        qCDebug(lcSniffer) << "Already capturing. Stopping current capture.";
        stopLocked();
    }
    if (captureThread.joinable())
        captureThread.join(); // a loop that ended by itself after an error

    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_t* opened = pcap_open_live(name.toUtf8().constData(), SnapshotLength, 0, 1000, errorBuffer);
    if (!opened) {
        emit errorOccurred(
            QStringLiteral("Couldn't open device %1: %2").arg(name, QString::fromLocal8Bit(errorBuffer)));
        return;
    }
    if (pcap_datalink(opened) != DLT_EN10MB) {
        emit errorOccurred(
            QStringLiteral("Device %1 doesn't provide Ethernet headers - not supported").arg(name));
        pcap_close(opened);
        return;
    }

    // Addresses may have changed since the last capture (a new link, DHCP).
    const QStringList addresses = getLocalIPAddresses();
    {
        QMutexLocker addressLock(&localIPsMutex);
        localIPs = QSet<QString>(addresses.cbegin(), addresses.cend());
    }
    connectionMapper->startRefreshing();
    {
        QMutexLocker queueLock(&queueMutex);
        queue.clear();
    }
    queueDropCount = 0;
    kernelDropCount = 0;
    lastStatisticsSecond = 0;

    {
        QMutexLocker handleLock(&handleMutex);
        handle = opened;
    }
    interfaceName = name;
    capturing = true;
    qCDebug(lcSniffer) << "Capture started on interface:" << name;
    captureThread = std::thread(&WorkerNetworkingPacketSniffer::captureLoop, this, opened);
}

void WorkerNetworkingPacketSniffer::stopCapture() {
    QMutexLocker lock(&captureMutex);
    if (!capturing && !captureThread.joinable()) {
        qCDebug(lcSniffer) << "No active capture to stop.";
        return;
    }
    stopLocked();
}

void WorkerNetworkingPacketSniffer::stopLocked() {
    qCDebug(lcSniffer) << "Attempting to stop capture.";
    capturing = false;
    {
        QMutexLocker handleLock(&handleMutex);
        if (handle) {
            qCDebug(lcSniffer) << "Calling pcap_breakloop to stop capture.";
            pcap_breakloop(handle);
        }
    }
    if (captureThread.joinable()) {
        captureThread.join();
        qCDebug(lcSniffer) << "Capture thread joined.";
    }
    connectionMapper->stopRefreshing();
}

void WorkerNetworkingPacketSniffer::captureLoop(pcap* captureHandle) {
    // Named like every other worker thread, so it can be told apart and counted.
    pthread_setname_np(pthread_self(), "workercapture");
    qCDebug(lcSniffer) << "Capture thread started.";
    const int result = pcap_loop(captureHandle, 0, &WorkerNetworkingPacketSniffer::packetHandler,
                                 reinterpret_cast<unsigned char*>(this));
    if (result == PCAP_ERROR)
        emit errorOccurred(QStringLiteral("Error occurred during packet capture: %1")
                               .arg(QString::fromLocal8Bit(pcap_geterr(captureHandle))));
    else if (result == PCAP_ERROR_BREAK)
        qCDebug(lcSniffer) << "pcap_loop exited due to pcap_breakloop.";
    else
        qCDebug(lcSniffer) << "pcap_loop exited with return code:" << result;
    readStatistics(captureHandle);
    {
        QMutexLocker handleLock(&handleMutex);
        pcap_close(captureHandle);
        handle = nullptr;
    }
    capturing = false;
    // The refresh timer and the interface name belong to the worker's thread.
    QMetaObject::invokeMethod(this, "onCaptureLoopEnded", Qt::QueuedConnection);
    emit captureStopped();
    qCDebug(lcSniffer) << "Capture thread exiting.";
}

void WorkerNetworkingPacketSniffer::onCaptureLoopEnded() {
    QMutexLocker lock(&captureMutex);
    if (capturing)
        return; // a new capture has started meanwhile
    interfaceName.clear();
    connectionMapper->stopRefreshing();
}

void WorkerNetworkingPacketSniffer::readStatistics(pcap* captureHandle) {
    pcap_stat stats{};
    if (pcap_stats(captureHandle, &stats) == 0) {
        // libpcap keeps the running total of the capture.
        kernelDropCount = stats.ps_drop;
    }
}

void WorkerNetworkingPacketSniffer::packetHandler(unsigned char* user, const pcap_pkthdr* header,
                                                  const unsigned char* bytes) {
    auto* worker = reinterpret_cast<WorkerNetworkingPacketSniffer*>(user);
    if (worker && header && bytes)
        worker->processFrame(header, bytes);
}

void WorkerNetworkingPacketSniffer::processFrame(const pcap_pkthdr* header, const unsigned char* bytes) {
    if (header->ts.tv_sec != lastStatisticsSecond) {
        lastStatisticsSecond = header->ts.tv_sec;
        QMutexLocker handleLock(&handleMutex);
        if (handle)
            readStatistics(handle);
    }
    const qint64 stamp = qint64(header->ts.tv_sec) * 1000000 + header->ts.tv_usec;
    if (paused || (stamp >= pausedFrom && stamp <= pausedUntil))
        return;
    PacketInfo packet;
    if (!buildPacket(*header, bytes, packet))
        return;
    const bool matches = matchesFilter(packet);
    QMutexLocker queueLock(&queueMutex);
    if (queue.size() >= QueueCapacity) {
        ++queueDropCount;
        return;
    }
    queue.append(CapturedPacket(std::move(packet), matches));
}

bool WorkerNetworkingPacketSniffer::buildPacket(const pcap_pkthdr& header, const unsigned char* bytes,
                                                PacketInfo& packet) {
    const size_t captured = qMin<size_t>(header.caplen, SnapshotLength);
    const int protocol = PacketDecoder::ipProtocolOf(bytes, captured);
    if ((protocol == 6 && !captureTCP) || (protocol == 17 && !captureUDP))
        return false;
    if (!PacketDecoder::decodeEthernetFrame(bytes, captured, packet))
        return false;
    packet.timestamp = PacketDecoder::formatTimestamp(header.ts.tv_sec, header.ts.tv_usec);
    {
        QMutexLocker addressLock(&localIPsMutex);
        packet.direction = directionOf(packet, localIPs);
    }
    ConnectionInfo query;
    query.protocol = packet.protocol;
    query.localAddress = packet.sourceIP;
    query.localPort = packet.sourcePort;
    query.remoteAddress = packet.destinationIP;
    query.remotePort = packet.destinationPort;
    query.direction = packet.direction;
    packet.application = connectionMapper->getApplicationName(query);
    return true;
}

QVector<CapturedPacket> WorkerNetworkingPacketSniffer::takePackets() {
    QVector<CapturedPacket> taken;
    QMutexLocker queueLock(&queueMutex);
    taken.swap(queue);
    return taken;
}

bool WorkerNetworkingPacketSniffer::matchesFilter(const PacketInfo& packet) {
    if (!filterSet)
        return true;
    QMutexLocker lock(&filterMutex);
    return filterText.isEmpty() || packet.sourceIP.contains(filterText, Qt::CaseInsensitive) ||
           packet.destinationIP.contains(filterText, Qt::CaseInsensitive) ||
           packet.protocol.contains(filterText, Qt::CaseInsensitive);
}

void WorkerNetworkingPacketSniffer::setFilterText(const QString& text) {
    QMutexLocker lock(&filterMutex);
    filterText = text;
    filterSet = !text.isEmpty();
}

void WorkerNetworkingPacketSniffer::setCaptureTCP(bool enabled) {
    captureTCP = enabled;
}

void WorkerNetworkingPacketSniffer::setCaptureUDP(bool enabled) {
    captureUDP = enabled;
}
