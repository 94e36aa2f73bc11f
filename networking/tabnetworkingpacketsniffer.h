#pragma once

#include "packetinfo.h"

#include <QList>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QTimer;
class WorkerThread;

// The Packet Sniffer page: capture start and stop, the packet tree filled
// in batches, the details pane and the HEX and ASCII panes.
class TabNetworkingPacketSniffer : public QWidget {
    Q_OBJECT
public:
    TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingPacketSniffer() override;

    bool areTimersRunning() const;

public slots:
    // Below a window height of 580 the details side is closed; growing past
    // it again restores the split the user had.
    void handleWindowResized(const QSize& newSize);
    void onSplitterMoved(int pos, int index);
    void processBatchUpdates();
    void updateParentItemDisplays();

private:
    Ui::MainWindow* ui;
    QTimer* batchTimer;
    QTimer* labelTimer;
    bool compactHeight = false;
    QList<int> sizesBeforeCompact;
    std::unique_ptr<WorkerThread> workerThread;
};
