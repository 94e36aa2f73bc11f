#pragma once

#include <QObject>
#include <QString>

// Sampling the counters is cheap and runs on the GUI thread; this worker
// probes link speeds, which means running iw or ethtool, on its own thread.
class WorkerNetworkingBandwidthMonitor : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingBandwidthMonitor(QObject* parent = nullptr);
    ~WorkerNetworkingBandwidthMonitor() override;

    // The link speed of an interface in Mbit/s, or -1 when there is none:
    // iw for a wireless interface, then sysfs, then ethtool.
    static int getLinkSpeed(const QString& interfaceName);

signals:
    void linkSpeedProbed(const QString& interfaceName, int megabitsPerSecond);

public slots:
    void probeLinkSpeed(const QString& interfaceName);
};
