#pragma once

#include "capturesaver.h"
#include "tabworker.h"
#include "workernetworkingpacketsniffer.h"

#include <QHash>
#include <QList>
#include <QWidget>

namespace Ui {
class MainWindow;
}
class PacketPanes;
class PacketTree;
class QAbstractButton;
class QButtonGroup;
class QTimer;

// The Packet Sniffer page: the interface to capture on, Record and Stop, the
// packet list fetched from the capture in batches (bounded in size), the
// details of the selected packet, Clear and Save.
class TabNetworkingPacketSniffer : public QWidget {
    Q_OBJECT
public:
    // Packets kept in the list; later ones are counted, not kept, until Clear.
    static constexpr int MaxPackets = 200000;

    using SaveFormat = CaptureSaver::Format;

    TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingPacketSniffer() override;

    bool isCapturing() const { return capturing; }
    // For its thread-safe calls.
    WorkerNetworkingPacketSniffer* captureWorker() const { return worker.object(); }
    void setPacketLimit(int limit);
    // Packets in the list now, and what the capture lost or left out.
    int packetCount() const;
    const CaptureCounts& captureCounts() const { return counts; }

    // Writes the kept packets (only the rows the filter shows, when asked)
    // to path in the format. On failure returns false with a reason.
    bool writeCapture(SaveFormat format, const QString& path, bool onlyFiltered, QString* error);

    // The chosen name with the format's suffix, unless it ends so already (any case).
    static QString withSuffix(const QString& path, const QString& suffix);

signals:
    void requestStartCapture(const QString& interfaceName, quint64 captureId);
    void requestStopCapture();
    void requestUpdatePackets();

public slots:
    void handleWindowResized(const QSize& newSize);
    void onPacketsDataReady(const PacketBatch& batch);
    void onCaptureEnded(const CaptureEnd& end);
    void updateGroupLabels();

private:
    void initializeInterfaceButtons(QWidget* container);
    void recordOrStop();
    void clearPackets();
    void savePackets();
    void showSelectedPacket();
    void disableInterfaceButtons();
    void restoreInterfaceButtons();
    void returnToIdle();
    void updateStatusTitle();

    Ui::MainWindow* ui;
    PacketTree* packetTree;
    PacketPanes* panes;
    QButtonGroup* interfaceButtons = nullptr;
    // Whether each interface button was enabled before Record: an interface
    // that is down stays unclickable after Stop.
    QHash<QAbstractButton*, bool> enabledBeforeCapture;
    QTimer* batchTimer;
    QTimer* labelTimer;
    bool capturing = false;
    // Each capture has a number of its own: the end of an earlier one that
    // arrives after a new Record is not about the new capture.
    quint64 captureId = 0;
    // Clears so far: a batch fetched before the last one is not shown.
    quint64 resets = 0;
    CaptureCounts counts;
    int packetLimit = MaxPackets;
    QString lastStatusTitle;
    bool compactHeight = false;
    QList<int> sizesBeforeCompact;
    TabWorker<WorkerNetworkingPacketSniffer> worker{QStringLiteral("workernetworkingpacketsniffer")};
};
