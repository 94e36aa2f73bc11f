#pragma once

#include <QObject>

// Sampling runs on the GUI thread; this worker's thread carries no work.
class WorkerNetworkingBandwidthMonitor : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingBandwidthMonitor(QObject* parent = nullptr);
    ~WorkerNetworkingBandwidthMonitor() override;
};
