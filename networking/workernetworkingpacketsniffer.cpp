#include "workernetworkingpacketsniffer.h"

#include <QDebug>

WorkerNetworkingPacketSniffer::WorkerNetworkingPacketSniffer(QObject* parent) : QObject(parent) {
    qDebug() << "WorkerNetworkingPacketSniffer constructed.";
}

WorkerNetworkingPacketSniffer::~WorkerNetworkingPacketSniffer() {
    qDebug() << "WorkerNetworkingPacketSniffer destructed.";
    stopCapture();
}

void WorkerNetworkingPacketSniffer::startCapture(const QString& interfaceName) {
    Q_UNUSED(interfaceName)
}

void WorkerNetworkingPacketSniffer::stopCapture() {}

void WorkerNetworkingPacketSniffer::setFilterText(const QString& text) {
    filterText = text;
}

void WorkerNetworkingPacketSniffer::setCaptureTCP(bool enabled) {
    captureTCP = enabled;
}

void WorkerNetworkingPacketSniffer::setCaptureUDP(bool enabled) {
    captureUDP = enabled;
}
