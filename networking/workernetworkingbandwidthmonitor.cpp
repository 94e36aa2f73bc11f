#include "workernetworkingbandwidthmonitor.h"

#include <QDebug>

WorkerNetworkingBandwidthMonitor::WorkerNetworkingBandwidthMonitor(QObject* parent) : QObject(parent) {
    qDebug() << "We are here in Worker Networking Bandwidth Monitor";
}

WorkerNetworkingBandwidthMonitor::~WorkerNetworkingBandwidthMonitor() = default;
