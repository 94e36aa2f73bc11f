#include "tabnetworkingbandwidthmonitor.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workernetworkingbandwidthmonitor.h"
#include "workerthread.h"

TabNetworkingBandwidthMonitor::TabNetworkingBandwidthMonitor(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui) {
    auto* worker = new WorkerNetworkingBandwidthMonitor;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workernetworkingbandwidthmonitor"));
    workerThread->start();
}

TabNetworkingBandwidthMonitor::~TabNetworkingBandwidthMonitor() = default;

void TabNetworkingBandwidthMonitor::startTimer() {}

void TabNetworkingBandwidthMonitor::stopTimer() {}

void TabNetworkingBandwidthMonitor::handleWindowResized(const QSize& newSize) {
    Q_UNUSED(newSize)
}
