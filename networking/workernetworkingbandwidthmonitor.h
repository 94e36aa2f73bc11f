#pragma once

#include <QObject>

class WorkerNetworkingBandwidthMonitor : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingBandwidthMonitor(QObject* parent = nullptr);
    ~WorkerNetworkingBandwidthMonitor() override;
};
