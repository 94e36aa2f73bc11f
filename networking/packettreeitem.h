#pragma once

#include "capturedpacket.h"
#include "packetinfo.h"

#include <QTreeWidgetItem>
#include <memory>

// One packet row of the Packet Sniffer tree. Its column texts, its record
// (under Qt::UserRole of column 0) and its direction colour are produced
// from the packet it holds instead of being stored per cell: a captured
// packet keeps only its frame, time, direction and application, and is
// decoded when shown, which keeps a row of a 200,000-packet capture small.
class PacketTreeItem : public QTreeWidgetItem {
public:
    explicit PacketTreeItem(const PacketInfo& packet);
    explicit PacketTreeItem(CapturedPacket packet);

    PacketInfo packet() const;
    QVariant data(int column, int role) const override;

    // The background of a packet of this direction ("incoming" green,
    // "outgoing" red, anything else blue), following the palette in force.
    static QColor directionColor(const QString& direction);

private:
    QString columnText(int column) const;

    std::unique_ptr<const PacketInfo> record; // a record given whole
    CapturedPacket captured;                  // otherwise
};
