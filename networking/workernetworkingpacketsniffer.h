#pragma once

#include "capturedpacket.h"
#include "connectionmapper.h"
#include "flownamer.h"
#include "packetdecoder.h"
#include "packetflow.h"

#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class FrameBlock;
class FrameRing;
struct pcap;
struct pcap_pkthdr;

// What the capture lost or left out so far.
struct CaptureCounts {
    quint64 kernelDrops = 0; // dropped by the kernel in the running or last capture
    quint64 queueDrops = 0;  // lost because decoding fell behind
    quint64 notKept = 0;     // seen past the page's limits since the last reset
};

// One fetch: the packets kept since the previous one, oldest first.
struct PacketBatch {
    QVector<CapturedPacket> packets;
    // Flows named since the previous fetch whose first packets were fetched
    // before, as "Unknown"; these packets are already named.
    QVector<FlowRename> renames;
    CaptureCounts counts;
    // Resets before the packets were taken: a batch taken before the page
    // was cleared is not shown after it.
    quint64 resets = 0;
};

// The end of a capture: stopped, broken by an error, or never opened.
struct CaptureEnd {
    // The number startCapture was given: a page that started a newer
    // capture meanwhile knows this is not about it.
    quint64 captureId = 0;
    QString error; // empty for a stop
};

Q_DECLARE_METATYPE(PacketBatch)
Q_DECLARE_METATYPE(CaptureEnd)

// Captures packets on one interface with libpcap and keeps them for the
// Packet Sniffer page. The slots run on the worker's own thread. A capture
// runs on two threads of its own: the capture thread only copies each raw
// frame into a ring (with a kernel buffer of tens of MB behind it), so it
// keeps up with the link; the decoding thread reads the frames out, drops
// what is switched off, names the application and the direction, and keeps
// the frame's bytes in large blocks. Frames past the page's limits are
// counted, not decoded. The page fetches the kept packets in batches.
class WorkerNetworkingPacketSniffer : public QObject {
    Q_OBJECT
public:
    static constexpr int SnapshotLength = 8192;
    static constexpr int ReadTimeout = 10; // ms
    static constexpr int KernelBufferBytes = 32 << 20;
    static constexpr size_t RingBytes = size_t(32) << 20;
    // Frame bytes kept until the page is cleared; with the page's packet
    // limit this bounds what a capture can take, whatever its frames.
    static constexpr qint64 KeptBytesLimit = qint64(150) << 20;

    explicit WorkerNetworkingPacketSniffer(QObject* parent = nullptr);
    ~WorkerNetworkingPacketSniffer() override;

    // Thread-safe calls: they take effect at once, whatever the worker's
    // thread is doing.
    //
    // Around saving: frames captured meanwhile are dropped, also those that
    // libpcap hands over only after the resume.
    void pauseProcessing();
    void resumeProcessing();
    bool isPaused() const { return paused; }
    // How many packets are kept at most until resetKept (the page's limit).
    void setKeepLimit(int packets) { keepLimit = packets; }
    // The page was cleared: packets kept and not fetched yet are dropped, and
    // counting towards the limits starts again. Returns the resets so far.
    quint64 resetKept();
    bool isCapturing() const { return capturing; }

    // What the decoding thread does with one frame: false when it is dropped
    // (not IPv4, switched off, or past the limits), else packet holds it.
    // One caller at a time.
    bool keepFrame(qint64 timeMicroseconds, const uchar* data, quint32 length, CapturedPacket& packet);
    // Hands kept packets to the next fetch. Any thread.
    void queuePackets(const QVector<CapturedPacket>& packets);
    // Names the flows' "Unknown" packets waiting for the next fetch, and
    // hands the renames to it for those fetched before. Any thread.
    void queueRenames(const QVector<FlowRename>& renames);

signals:
    void packetsUpdated(const PacketBatch& batch);
    // Once for every startCapture: when the capture ends, or at once when
    // it cannot start.
    void captureEnded(const CaptureEnd& end);

public slots:
    void startCapture(const QString& interfaceName, quint64 captureId = 0);
    void stopCapture();
    void setCaptureTCP(bool enabled);
    void setCaptureUDP(bool enabled);
    // Answers with the packets kept since the last fetch and the counts.
    void fetchPackets();

private:
    // The machine's own non-loopback addresses, as text.
    static QStringList getLocalIPAddresses();
    void onCaptureLoopEnded();
    void stopLocked();
    void captureLoop(pcap* captureHandle, quint64 captureId);
    void decodeLoop();
    void takeFrame(const pcap_pkthdr* header, const unsigned char* bytes);
    void readStatistics(pcap* captureHandle);
    void publishRenames();
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
    std::atomic<bool> paused{false};
    // The last pause, in microseconds since the epoch (capture time stamps).
    std::atomic<qint64> pausedFrom{0};
    std::atomic<qint64> pausedUntil{0};

    // Between the capture thread and the decoding thread.
    std::unique_ptr<FrameRing> ring;
    std::thread decodeThread;
    std::mutex wakeMutex;
    std::condition_variable wake;
    std::atomic<bool> framesEnded{false}; // the capture thread wrote its last frame

    // The decoding thread's own.
    std::shared_ptr<FrameBlock> block;
    FlowNamer flowNamer;

    // The packets for the next fetch, and the resets, under queueMutex.
    QMutex queueMutex;
    QVector<CapturedPacket> queue;
    QVector<FlowRename> pendingRenames;
    quint64 resets = 0;
    std::atomic<int> keepLimit{200000};
    std::atomic<int> keptPackets{0};
    std::atomic<qint64> keptBytes{0};
    std::atomic<quint64> notKeptCount{0};
    std::atomic<quint64> queueDropCount{0};
    std::atomic<quint64> kernelDropCount{0};
    qint64 lastStatisticsSecond = 0;
};
