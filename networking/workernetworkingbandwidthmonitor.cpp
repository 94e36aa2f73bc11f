#include "workernetworkingbandwidthmonitor.h"

WorkerNetworkingBandwidthMonitor::WorkerNetworkingBandwidthMonitor(QObject* parent) : QObject(parent) {}

WorkerNetworkingBandwidthMonitor::~WorkerNetworkingBandwidthMonitor() = default;
