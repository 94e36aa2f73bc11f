#include "workernetworkingwireless.h"

WorkerNetworkingWireless::WorkerNetworkingWireless(QObject* parent) : QObject(parent) {}

WorkerNetworkingWireless::~WorkerNetworkingWireless() = default;
