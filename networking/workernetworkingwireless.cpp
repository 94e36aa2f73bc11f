#include "workernetworkingwireless.h"

#include <QDebug>

WorkerNetworkingWireless::WorkerNetworkingWireless(QObject* parent) : QObject(parent) {
    qDebug() << "We are here in Worker Networking Wireless";
}

WorkerNetworkingWireless::~WorkerNetworkingWireless() = default;

void WorkerNetworkingWireless::fetchWirelessStats(const QString& selectedInterface) {
    Q_UNUSED(selectedInterface)
}

void WorkerNetworkingWireless::updateWifiRouterInfo(const QString& selectedInterface) {
    Q_UNUSED(selectedInterface)
}
