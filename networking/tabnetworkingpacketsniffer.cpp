#include "tabnetworkingpacketsniffer.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"
#include "workerthread.h"

TabNetworkingPacketSniffer::TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui) {
    auto* worker = new WorkerNetworkingPacketSniffer;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workernetworkingpacketsniffer"));
    workerThread->start();
}

TabNetworkingPacketSniffer::~TabNetworkingPacketSniffer() = default;

void TabNetworkingPacketSniffer::handleWindowResized(const QSize& newSize) {
    Q_UNUSED(newSize)
}
