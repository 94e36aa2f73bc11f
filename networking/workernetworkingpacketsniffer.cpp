#include "workernetworkingpacketsniffer.h"

WorkerNetworkingPacketSniffer::WorkerNetworkingPacketSniffer(QObject* parent) : QObject(parent) {}

WorkerNetworkingPacketSniffer::~WorkerNetworkingPacketSniffer() = default;
