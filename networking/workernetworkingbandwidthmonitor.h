#pragma once

#include "interfacetraffic.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>

// One reading of every interface's counters in /proc/net/dev.
struct InterfaceSample {
    QVector<traffic::InterfaceCounters> interfaces;
    // When it was read, in seconds on the monotonic clock: rates never jump
    // with the wall clock.
    double sampledAt = 0;
    QString failure; // empty when the counters were read
};

// The link speed of an interface in Mbit/s, or -1 when it has none.
struct LinkSpeed {
    QString interfaceName;
    int megabitsPerSecond = -1;
};

Q_DECLARE_METATYPE(InterfaceSample)
Q_DECLARE_METATYPE(LinkSpeed)

// Reads the interface counters, and probes link speeds (which means running
// iw or ethtool), off the GUI thread. The page runs one of these for each
// job, so that a probe waiting on a tool never holds up the counters.
class WorkerNetworkingBandwidthMonitor : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingBandwidthMonitor(QObject* parent = nullptr);
    ~WorkerNetworkingBandwidthMonitor() override;

    // Seconds on the clock samples are timed by.
    static double monotonicSeconds();

    // The link speed of an interface in Mbit/s, or -1 when there is none:
    // iw for a wireless interface, then sysfs, then ethtool.
    static int getLinkSpeed(const QString& interfaceName);

signals:
    void interfaceCountersUpdated(const InterfaceSample& sample);
    void linkSpeedUpdated(const LinkSpeed& speed);

public slots:
    void fetchInterfaceCounters();
    void probeLinkSpeed(const QString& interfaceName);
};
