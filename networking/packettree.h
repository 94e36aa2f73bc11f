#pragma once

#include "capturedpacket.h"
#include "packetflow.h"
#include "packetinfo.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

// The packets of one application, as a save writes them.
struct PacketGroup {
    QString application; // as the group's label shows it, without the count
    QVector<CapturedPacket> packets;
};

// The kept packets in the order the page shows them (only the rows the
// filter shows, when asked): what a save works from.
using CaptureSnapshot = QVector<PacketGroup>;

// The Packet Sniffer's packet list: a group per application with its rows,
// each group labelled with its counts. It keeps the packets itself (the rows
// point at them), places new rows where the order the user chose by clicking
// a column wants them instead of re-sorting, and hides what the filter does
// not match.
class PacketTree : public QObject {
    Q_OBJECT
public:
    enum Column {
        ColumnApplication,
        ColumnTimestamp,
        ColumnSourceIP,
        ColumnSourcePort,
        ColumnDestinationIP,
        ColumnDestinationPort,
        ColumnProtocol,
        ColumnLength,
        ColumnDirection,
        ColumnCount
    };

    explicit PacketTree(QTreeWidget* tree, QObject* parent = nullptr);
    ~PacketTree() override;

    void addPackets(const QVector<CapturedPacket>& newPackets);
    // Moves the "Unknown" rows of each flow to the group of its name, which
    // they now carry; a group left empty goes.
    void applyRenames(const QVector<FlowRename>& renames);
    void clear();
    int packetCount() const { return packetsInTree; }

    void setFilterText(const QString& text);
    QString filterText() const { return filter; }
    // Relabels the groups whose counts changed since the last time.
    void updateGroupLabels();

    // The packet of the selected row, when a packet row is selected.
    std::optional<PacketInfo> selectedPacket() const;
    CaptureSnapshot snapshot(bool onlyShown) const;

private:
    struct Group;

    void sortBy(int column);
    Group& groupOf(const QString& application);
    void removeGroup(Group* group);
    // New rows (arriving in time order) or rows moved from another group.
    void placeInGroup(Group& group, const QList<QTreeWidgetItem*>& rows, bool arriving);
    QString label(const Group& group) const;

    QPointer<QTreeWidget> tree;
    // In the order they came; never moved, as the rows point at them.
    std::deque<CapturedPacket> packets;
    // In the order the tree shows them.
    std::vector<std::unique_ptr<Group>> groups;
    QHash<QString, Group*> groupsByApplication;
    QString filter;
    int packetsInTree = 0;
    // The order the user picked by clicking a column.
    int sortColumn = ColumnTimestamp;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};
