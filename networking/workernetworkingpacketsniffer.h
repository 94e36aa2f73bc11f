#pragma once

#include "packetinfo.h"

#include <QMutex>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVector>
#include <atomic>
#include <thread>

class ConnectionMapper;
struct pcap;
struct pcap_pkthdr;

// A decoded packet and whether it matched the worker's filter text.
using CapturedPacket = QPair<PacketInfo, bool>;

// Captures packets on one interface with libpcap and decodes them into
// PacketInfo records. The slots run on the worker's own thread; the capture
// loop runs on a thread of its own that stopCapture breaks and joins.
// Decoded packets wait in a bounded queue that the page drains in batches, so
// a flood of packets costs neither unbounded memory nor one event each.
class WorkerNetworkingPacketSniffer : public QObject {
    Q_OBJECT
public:
    // Packets kept waiting for the page; more are counted as dropped.
    static constexpr int QueueCapacity = 100000;
    static constexpr int SnapshotLength = 8192;

    explicit WorkerNetworkingPacketSniffer(QObject* parent = nullptr);
    ~WorkerNetworkingPacketSniffer() override;

    // Called from the GUI thread around saving: frames captured meanwhile are
    // dropped, also those that libpcap hands over only after the resume.
    void pauseProcessing();
    void resumeProcessing();
    bool isPaused() const { return paused; }

    // Takes every waiting packet, oldest first. Any thread.
    QVector<CapturedPacket> takePackets();
    // Frames the kernel dropped in the running or last capture (pcap_stats).
    quint64 kernelDrops() const { return kernelDropCount; }
    // Packets dropped because the page did not take them in time.
    quint64 queueDrops() const { return queueDropCount; }
    bool isCapturing() const { return capturing; }

    // The whole record of one captured frame: decoded fields, time, direction
    // and owning application. False for a frame that is dropped. Any thread.
    bool buildPacket(const pcap_pkthdr& header, const unsigned char* bytes, PacketInfo& packet);

    // The machine's own non-loopback addresses, as text.
    static QStringList getLocalIPAddresses();
    // "Outgoing" when the source is local, "Incoming" when the destination
    // is, otherwise "Broadcast".
    static QString directionOf(const PacketInfo& packet, const QSet<QString>& localAddresses);

signals:
    void captureStopped();
    void errorOccurred(const QString& error);

public slots:
    void startCapture(const QString& interfaceName);
    void stopCapture();
    void setFilterText(const QString& filterText);
    void setCaptureTCP(bool enabled);
    void setCaptureUDP(bool enabled);

private slots:
    void onCaptureLoopEnded();

private:
    void stopLocked();
    void captureLoop(pcap* captureHandle);
    void processFrame(const pcap_pkthdr* header, const unsigned char* bytes);
    void readStatistics(pcap* captureHandle);
    bool matchesFilter(const PacketInfo& packet);
    static void packetHandler(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);

    QString interfaceName;
    // Only the capture thread closes the handle, under handleMutex, so that a
    // concurrent pcap_breakloop never touches a closed handle.
    pcap* handle = nullptr;
    QMutex handleMutex;
    QMutex captureMutex;
    std::atomic<bool> capturing{false};
    ConnectionMapper* connectionMapper;
    std::thread captureThread;
    std::atomic<bool> captureTCP{true};
    std::atomic<bool> captureUDP{true};
    QSet<QString> localIPs;
    QMutex localIPsMutex;
    QString filterText;
    std::atomic<bool> filterSet{false};
    QMutex filterMutex;
    std::atomic<bool> paused{false};
    // The last pause, in microseconds since the epoch (capture time stamps).
    std::atomic<qint64> pausedFrom{0};
    std::atomic<qint64> pausedUntil{0};

    QMutex queueMutex;
    QVector<CapturedPacket> queue;
    std::atomic<quint64> queueDropCount{0};
    std::atomic<quint64> kernelDropCount{0};
    qint64 lastStatisticsSecond = 0;
};
