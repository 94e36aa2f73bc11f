#include "tabnetworkingpacketsniffer.h"

#include "customplaintextedit.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"
#include "workerthread.h"

#include <QDebug>
#include <QSplitter>
#include <QTimer>

TabNetworkingPacketSniffer::TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui) {
    qDebug() << "We are here in Tab Networking Packet Sniffer!";
    workerThread = std::make_unique<WorkerThread>(new WorkerNetworkingPacketSniffer,
                                                  QStringLiteral("workernetworkingpacketsniffer"));
    workerThread->start();

    QSplitter* splitter = ui->splitterPacketListAndDetails;
    connect(splitter, &QSplitter::splitterMoved, this, &TabNetworkingPacketSniffer::onSplitterMoved);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    // The details side opens with the first selected packet.
    splitter->setSizes({splitter->height(), 0});

    ui->plainTextEditNetworkingPacketSnifferHEX->setHexView(true);
    ui->plainTextEditNetworkingPacketSnifferASCII->setHexView(false);

    batchTimer = new QTimer(this);
    batchTimer->setInterval(500);
    connect(batchTimer, &QTimer::timeout, this, &TabNetworkingPacketSniffer::processBatchUpdates);
    batchTimer->start();
    labelTimer = new QTimer(this);
    labelTimer->setInterval(250);
    connect(labelTimer, &QTimer::timeout, this, &TabNetworkingPacketSniffer::updateParentItemDisplays);
    labelTimer->start();
}

TabNetworkingPacketSniffer::~TabNetworkingPacketSniffer() {
    // Nothing may tick into the tree while the capture winds down; the
    // worker stops its capture loop as its thread ends.
    batchTimer->stop();
    labelTimer->stop();
    workerThread.reset();
}

bool TabNetworkingPacketSniffer::areTimersRunning() const {
    return batchTimer->isActive() && labelTimer->isActive();
}

void TabNetworkingPacketSniffer::handleWindowResized(const QSize& newSize) {
    auto* splitter = qobject_cast<QSplitter*>(ui->splitterPacketListAndDetails);
    if (!splitter) {
        qWarning() << "splitterPacketListAndDetails is not a QSplitter.";
        return;
    }
    const bool compact = newSize.height() < 580;
    if (compact == compactHeight)
        return;
    compactHeight = compact;
    if (compact) {
        sizesBeforeCompact = splitter->sizes();
        splitter->setSizes({splitter->height(), 0});
    } else if (!sizesBeforeCompact.isEmpty()) {
        splitter->setSizes(sizesBeforeCompact);
    }
}

void TabNetworkingPacketSniffer::onSplitterMoved(int pos, int index) {
    Q_UNUSED(pos)
    Q_UNUSED(index)
}

void TabNetworkingPacketSniffer::processBatchUpdates() {}

void TabNetworkingPacketSniffer::updateParentItemDisplays() {}
