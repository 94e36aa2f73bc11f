#pragma once

#include "packetinfo.h"

#include <QObject>
#include <atomic>

// Captures packets on one interface with libpcap and decodes them into
// PacketInfo records. Lives on its own thread; the capture loop runs on a
// thread of its own that stopCapture breaks and joins.
class WorkerNetworkingPacketSniffer : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingPacketSniffer(QObject* parent = nullptr);
    ~WorkerNetworkingPacketSniffer() override;

    void pauseProcessing() { paused = true; }
    void resumeProcessing() { paused = false; }

signals:
    void packetCaptured(const PacketInfo& packet, bool matchesFilter);
    void captureStopped();
    void errorOccurred(const QString& error);

public slots:
    void startCapture(const QString& interfaceName);
    void stopCapture();
    void setFilterText(const QString& filterText);
    void setCaptureTCP(bool enabled);
    void setCaptureUDP(bool enabled);

private:
    bool captureTCP = true;
    bool captureUDP = true;
    QString filterText;
    std::atomic<bool> paused{false};
};
