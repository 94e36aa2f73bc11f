#include "tabnetworkingbandwidthmonitor.h"

#include "ui_mainwindow.h"
#include "workernetworkingbandwidthmonitor.h"
#include "workerthread.h"

#include <QBoxLayout>
#include <QDebug>
#include <QLabel>
#include <QTimer>

TabNetworkingBandwidthMonitor::TabNetworkingBandwidthMonitor(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui) {
    qDebug() << "We are here in tab Networking Bandwidth Monitor!";
    workerThread = std::make_unique<WorkerThread>(new WorkerNetworkingBandwidthMonitor,
                                                  QStringLiteral("workernetworkingbandwidthmonitor"));
    workerThread->start();

    frameRX = ui->frameNetworkingRX;
    frameTX = ui->frameNetworkingTX;
    labelDownload = ui->labelNetworkingDownload;
    labelDownloadSpeed = ui->labelNetworkingDownloadSpeed;
    labelUpload = ui->labelNetworkingUpload;
    labelUploadSpeed = ui->labelNetworkingUploadSpeed;
    for (QFrame* frame : {frameRX, frameTX}) {
        if (!frame->layout())
            new QVBoxLayout(frame);
    }

    samplingTimer = new QTimer(this);
    samplingTimer->setInterval(500);
    connect(samplingTimer, &QTimer::timeout, this, &TabNetworkingBandwidthMonitor::updateNetworkStats);
}

TabNetworkingBandwidthMonitor::~TabNetworkingBandwidthMonitor() {
    samplingTimer->stop();
}

bool TabNetworkingBandwidthMonitor::isSampling() const {
    return samplingTimer->isActive();
}

void TabNetworkingBandwidthMonitor::startTimer() {
    samplingTimer->start();
}

void TabNetworkingBandwidthMonitor::stopTimer() {
    samplingTimer->stop();
}

void TabNetworkingBandwidthMonitor::updateNetworkStats() {}

void TabNetworkingBandwidthMonitor::handleWindowResized(const QSize& newSize) {
    QBoxLayout* layout = ui->horizontalLayout_23;
    const bool wantHorizontal = newSize.height() < 581;
    const bool horizontal = layout->direction() == QBoxLayout::LeftToRight;
    if (wantHorizontal != horizontal) {
        layout->setDirection(wantHorizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
        qDebug() << (wantHorizontal ? "Switched to horizontal layout" : "Switched to vertical layout");
        layout->setStretch(0, 1);
        layout->setStretch(1, 1);
    }
    positionSpeedLabels();
    // The frames have their final geometry only once the layout has run.
    QTimer::singleShot(200, this, &TabNetworkingBandwidthMonitor::positionSpeedLabels);
}

void TabNetworkingBandwidthMonitor::positionSpeedLabels() {
    for (QLabel* caption : {labelDownload, labelUpload}) {
        if (!caption)
            continue;
        caption->adjustSize();
        caption->raise();
        caption->move(5, 5);
    }
    for (QLabel* speed : {labelDownloadSpeed, labelUploadSpeed}) {
        if (!speed || !speed->parentWidget())
            continue;
        speed->adjustSize();
        speed->raise();
        speed->move(speed->parentWidget()->width() - speed->width() - 5, 5);
    }
}
