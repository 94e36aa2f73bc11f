#include "workernetworkingpacketsniffer.h"

#include "framestore.h"
#include "packetdecoder.h"

#include <QDebug>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <chrono>
#include <limits>
#include <pcap/pcap.h>
#include <pthread.h>

Q_LOGGING_CATEGORY(lcSniffer, "tessmar.sniffer", QtWarningMsg)

namespace {

constexpr quint8 ProtocolTcp = 6;
constexpr quint8 ProtocolUdp = 17;

qint64 nowMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

WorkerNetworkingPacketSniffer::WorkerNetworkingPacketSniffer(QObject* parent)
    : QObject(parent), connectionMapper(new ConnectionMapper(this)), flowNamer(connectionMapper) {
    qCDebug(lcSniffer) << "WorkerNetworkingPacketSniffer constructed.";
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

void WorkerNetworkingPacketSniffer::pauseProcessing() {
    pausedUntil = std::numeric_limits<qint64>::max();
    pausedFrom = nowMicroseconds();
    paused = true;
}

void WorkerNetworkingPacketSniffer::resumeProcessing() {
    pausedUntil = nowMicroseconds();
    paused = false;
}

void WorkerNetworkingPacketSniffer::startCapture(const QString& name, quint64 captureId) {
    QMutexLocker lock(&captureMutex);
    if (capturing) {
        qCDebug(lcSniffer) << "Already capturing. Stopping current capture.";
        stopLocked();
    }
    if (captureThread.joinable())
        captureThread.join(); // a loop that ended by itself after an error

    auto openError = [&](const QString& reason) {
        emit captureEnded({captureId, QStringLiteral("Couldn't open device %1: %2").arg(name, reason)});
    };
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_t* opened = pcap_create(name.toUtf8().constData(), errorBuffer);
    if (!opened) {
        openError(QString::fromLocal8Bit(errorBuffer));
        return;
    }
    // A kernel buffer of tens of MB rides out the bursts of a busy link;
    // libpcap's default of 2 MB holds a few milliseconds of one.
    // The kernel hands frames over a block at a time, or when this time
    // is up: on a busy link the blocks fill first, and on a quiet one 10 ms
    // lets a new connection be looked up while its socket still lives (a
    // short one is closed, its socket without a process, 100 ms later).
    pcap_set_snaplen(opened, SnapshotLength);
    pcap_set_promisc(opened, 0);
    pcap_set_timeout(opened, ReadTimeout);
    pcap_set_buffer_size(opened, KernelBufferBytes);
    const int status = pcap_activate(opened);
    if (status < 0) {
        const QString reason = QString::fromLocal8Bit(pcap_geterr(opened));
        openError(reason.isEmpty() ? QString::fromLocal8Bit(pcap_statustostr(status)) : reason);
        pcap_close(opened);
        return;
    }
    if (pcap_datalink(opened) != DLT_EN10MB) {
        emit captureEnded(
            {captureId,
             QStringLiteral("Device %1 doesn't provide Ethernet headers - not supported").arg(name)});
        pcap_close(opened);
        return;
    }
    auto frames = std::make_unique<FrameRing>(RingBytes);
    if (!frames->isValid()) {
        openError(QStringLiteral("Out of memory"));
        pcap_close(opened);
        return;
    }

    // Addresses may have changed since the last capture (a new link, DHCP).
    QVector<quint32> localIPv4;
    for (const QString& text : getLocalIPAddresses()) {
        bool isIPv4 = false;
        const quint32 address = QHostAddress(text).toIPv4Address(&isIPv4);
        if (isIPv4)
            localIPv4.append(address);
    }
    connectionMapper->startRefreshing();
    flowNamer.start(localIPv4);
    {
        QMutexLocker queueLock(&queueMutex);
        queue.clear();
        pendingRenames.clear();
    }
    queueDropCount = 0;
    kernelDropCount = 0;
    lastStatisticsSecond = 0;

    ring = std::move(frames);
    framesEnded = false;
    {
        QMutexLocker handleLock(&handleMutex);
        handle = opened;
    }
    interfaceName = name;
    capturing = true;
    qCDebug(lcSniffer) << "Capture started on interface:" << name;
    decodeThread = std::thread(&WorkerNetworkingPacketSniffer::decodeLoop, this);
    captureThread = std::thread(&WorkerNetworkingPacketSniffer::captureLoop, this, opened, captureId);
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

void WorkerNetworkingPacketSniffer::captureLoop(pcap* captureHandle, quint64 captureId) {
    // Named like every other worker thread, so it can be told apart and counted.
    pthread_setname_np(pthread_self(), "workercapture");
    qCDebug(lcSniffer) << "Capture thread started.";
    int result;
    do {
        result = pcap_dispatch(captureHandle, -1, &WorkerNetworkingPacketSniffer::packetHandler,
                               reinterpret_cast<unsigned char*>(this));
        { std::lock_guard<std::mutex> lock(wakeMutex); }
        wake.notify_one();
    } while (result >= 0);
    CaptureEnd end{captureId, QString()};
    if (result == PCAP_ERROR)
        end.error = QStringLiteral("Error occurred during packet capture: %1")
                        .arg(QString::fromLocal8Bit(pcap_geterr(captureHandle)));
    else if (result == PCAP_ERROR_BREAK)
        qCDebug(lcSniffer) << "pcap_loop exited due to pcap_breakloop.";
    else
        qCDebug(lcSniffer) << "pcap_loop exited with return code:" << result;
    readStatistics(captureHandle);

    // The decoding thread takes what is left in the ring, then ends.
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        framesEnded = true;
    }
    wake.notify_one();
    decodeThread.join();
    ring.reset();
    {
        QMutexLocker handleLock(&handleMutex);
        pcap_close(captureHandle);
        handle = nullptr;
    }
    capturing = false;
    // The refresh timer and the interface name belong to the worker's thread.
    QMetaObject::invokeMethod(
        this, [this] { onCaptureLoopEnded(); }, Qt::QueuedConnection);
    emit captureEnded(end);
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
        worker->takeFrame(header, bytes);
}

// The capture thread's whole work per frame: a copy into the ring.
void WorkerNetworkingPacketSniffer::takeFrame(const pcap_pkthdr* header, const unsigned char* bytes) {
    if (header->ts.tv_sec != lastStatisticsSecond) {
        lastStatisticsSecond = header->ts.tv_sec;
        QMutexLocker handleLock(&handleMutex);
        if (handle)
            readStatistics(handle);
    }
    const qint64 stamp = qint64(header->ts.tv_sec) * 1000000 + header->ts.tv_usec;
    if (paused || (stamp >= pausedFrom && stamp <= pausedUntil))
        return;
    const quint32 length = qMin<quint32>(header->caplen, SnapshotLength);
    if (keptPackets >= keepLimit || keptBytes >= KeptBytesLimit) {
        // Past the limits nothing is decoded; IPv4 packets of the switched-on
        // protocols are counted.
        const int protocol = PacketDecoder::ipProtocolOf(bytes, length);
        if (protocol >= 0 && bytes[12] == 0x08 && bytes[13] == 0x00 &&
            !(protocol == ProtocolTcp && !captureTCP) && !(protocol == ProtocolUdp && !captureUDP))
            ++notKeptCount;
        return;
    }
    if (!ring->push(stamp, bytes, length))
        ++queueDropCount;
}

void WorkerNetworkingPacketSniffer::decodeLoop() {
    pthread_setname_np(pthread_self(), "workerdecode");
    QVector<CapturedPacket> batch;
    for (;;) {
        const bool ended = framesEnded;
        const int taken = ring->drain(
            [&](qint64 time, const uchar* data, quint32 length) {
                CapturedPacket packet;
                if (keepFrame(time, data, length, packet))
                    batch.append(std::move(packet));
            },
            4096);
        if (!batch.isEmpty()) {
            queuePackets(batch);
            batch.clear();
        }
        publishRenames(); // after the packets they name are queued
        if (flowNamer.takeNewTables())
            publishRenames();
        if (taken)
            continue;
        if (ended)
            break; // the capture thread wrote its last frame before it said so
        std::unique_lock<std::mutex> lock(wakeMutex);
        wake.wait_for(lock, std::chrono::milliseconds(50), [&] { return framesEnded || !ring->isEmpty(); });
    }
    block.reset();
    flowNamer.releaseTables();
}

bool WorkerNetworkingPacketSniffer::keepFrame(qint64 time, const uchar* data, quint32 length,
                                              CapturedPacket& packet) {
    PacketDecoder::FrameSummary summary;
    if (!PacketDecoder::summarizeFrame(data, length, summary))
        return false;
    if ((summary.protocol == ProtocolTcp && !captureTCP) || (summary.protocol == ProtocolUdp && !captureUDP))
        return false;
    if (keptPackets >= keepLimit || keptBytes + length > KeptBytesLimit) {
        ++notKeptCount;
        return false;
    }
    const uchar* kept = block ? block->append(data, length) : nullptr;
    if (!kept) {
        block = FrameBlock::create();
        kept = block ? block->append(data, length) : nullptr;
        if (!kept) {
            ++queueDropCount;
            return false;
        }
    }
    packet.block = block;
    packet.frame = kept;
    packet.length = length;
    packet.time = time;
    flowNamer.name(summary, time, packet);
    ++keptPackets;
    keptBytes += length;
    return true;
}

void WorkerNetworkingPacketSniffer::publishRenames() {
    const QVector<FlowRename> renames = flowNamer.takeRenames();
    if (!renames.isEmpty())
        queueRenames(renames);
}

void WorkerNetworkingPacketSniffer::queueRenames(const QVector<FlowRename>& renames) {
    QHash<PacketFlow, const FlowRename*> byFlow;
    for (const FlowRename& rename : renames)
        byFlow.insert(rename.flow, &rename);
    QMutexLocker queueLock(&queueMutex);
    for (CapturedPacket& packet : queue) {
        if (packet.application != QLatin1String("Unknown"))
            continue;
        PacketDecoder::FrameSummary summary;
        if (!PacketDecoder::summarizeFrame(packet.frame, packet.length, summary))
            continue;
        if (const FlowRename* rename = byFlow.value(PacketFlow::of(summary)))
            rename->apply(packet, summary);
    }
    pendingRenames += renames;
}

void WorkerNetworkingPacketSniffer::queuePackets(const QVector<CapturedPacket>& packets) {
    QMutexLocker queueLock(&queueMutex);
    queue += packets;
}

void WorkerNetworkingPacketSniffer::fetchPackets() {
    PacketBatch batch;
    {
        QMutexLocker queueLock(&queueMutex);
        batch.packets.swap(queue);
        batch.renames.swap(pendingRenames);
        batch.resets = resets;
    }
    batch.counts = {kernelDropCount, queueDropCount, notKeptCount};
    emit packetsUpdated(batch);
}

quint64 WorkerNetworkingPacketSniffer::resetKept() {
    QMutexLocker queueLock(&queueMutex);
    queue.clear();
    pendingRenames.clear();
    keptPackets = 0;
    keptBytes = 0;
    notKeptCount = 0;
    return ++resets;
}

void WorkerNetworkingPacketSniffer::setCaptureTCP(bool enabled) {
    captureTCP = enabled;
}

void WorkerNetworkingPacketSniffer::setCaptureUDP(bool enabled) {
    captureUDP = enabled;
}
