#pragma once

#include "capturedpacket.h"
#include "packetinfo.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QVector>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QButtonGroup;
class QLabel;
class QTimer;
class QTreeWidgetItem;
class WorkerNetworkingPacketSniffer;
class WorkerThread;

// The Packet Sniffer page: capture start and stop, the packet tree filled
// in batches (grouped by application, bounded in size), the filter, the
// details pane, the HEX and ASCII panes and saving.
class TabNetworkingPacketSniffer : public QWidget {
    Q_OBJECT
public:
    // Packets kept in the tree; later ones are counted, not kept, until Clear.
    static constexpr int MaxPackets = 200000;

    enum class SaveFormat { Text, Csv, Pcap };

    TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingPacketSniffer() override;

    bool areTimersRunning() const;
    bool isCapturing() const { return capturing; }
    WorkerNetworkingPacketSniffer* captureWorker() const { return worker; }
    void setPacketLimit(int limit);
    // Packets in the tree now, and those seen past the limits since Clear.
    int packetCount() const { return packetsInTree; }
    qint64 packetsNotKept() const;

    // Writes the tree's packets (only the rows the filter shows, when asked)
    // to path in the format. On failure returns false with a reason.
    bool writeCapture(SaveFormat format, const QString& path, bool onlyFiltered, QString* error);

    // The chosen name with the format's suffix, unless it ends so already (any case).
    static QString withSuffix(const QString& path, const QString& suffix);
    static QString capitalizeFirstLetter(const QString& text);
    static QString stripCountSuffix(const QString& text);

signals:
    void requestStopCapture();

public slots:
    void handleWindowResized(const QSize& newSize);
    void on_pushButtonNetworkingPacketSnifferRecordStop_clicked();
    void on_pushButtonNetworkingPacketSnifferClear_clicked();
    void on_pushButtonNetworkingPacketSnifferSave_clicked();
    void onHexClicked(int hexPosition);
    void onAsciiClicked(int asciiPosition);
    void onHexCursorMoved();
    void onAsciiCursorMoved();
    void onHexSelectionChanged();
    void onAsciiSelectionChanged();
    void handlePacketCaptured(const PacketInfo& packet, bool matchesFilter);
    void handleCaptureStopped(quint64 stoppedCapture);
    void handleErrorOccurred(const QString& error, quint64 failedCapture);
    void onPacketSelected();
    void onSplitterMoved(int pos, int index);
    void processBatchUpdates();
    void updateParentItemDisplays();

private:
    void initializeInterfaceButtons(QWidget* container);
    void initializePacketTree();
    // One packet for the tree: a record given whole, or a captured packet.
    struct NewRow {
        QString application;
        bool matchesFilter;
        PacketInfo record;
        const CapturedPacket* captured;
    };
    void addPacketsToTree(const QVector<NewRow>& packets);
    void onFilterTextChanged();
    void onHeaderClicked(int column);
    void setInterfaceButtonsEnabled(bool enabled);
    void returnToIdle();
    void updateStatusTitle();
    bool rowMatches(const QTreeWidgetItem* row) const;
    void placeInGroup(QTreeWidgetItem* group, const QList<QTreeWidgetItem*>& rows);
    void selectAsciiRange(int start, int end);
    void clearDetails();
    QList<QLabel*> detailLabels() const;

    Ui::MainWindow* ui;
    WorkerNetworkingPacketSniffer* worker = nullptr;
    std::unique_ptr<WorkerThread> workerThread;
    QButtonGroup* interfaceButtons = nullptr;
    bool capturing = false;
    QMap<QString, QTreeWidgetItem*> groupItems;
    QMap<QString, int> totalCounts;
    bool loadingDetails = false;
    bool syncingPanes = false;
    QTimer* batchTimer;
    QTimer* labelTimer;
    QVector<QPair<PacketInfo, bool>> pendingPackets;
    QMutex pendingMutex;
    QMap<QString, QPair<int, int>> lastLabelCounts;
    QMap<QString, int> visibleCounts;
    QString filterText;
    QMap<QString, bool> lastLabelUnfiltered;

    // The order the user picked by clicking a column; new rows are placed
    // into it instead of re-sorting the tree.
    int sortColumn = 1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    int packetsInTree = 0;
    int packetLimit = MaxPackets;
    qint64 notKept = 0; // records fed directly, past the limit
    quint64 captureId = 0;
    QString lastStatusTitle;
    bool compactHeight = false;
    QList<int> sizesBeforeCompact;
};
