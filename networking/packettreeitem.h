#pragma once

#include "capturedpacket.h"
#include "packetinfo.h"

#include <QTreeWidgetItem>

// One packet row of the Packet Sniffer tree. Its column texts and its
// direction colour are produced from the captured packet it points at
// instead of being stored per cell: a captured packet keeps only its frame,
// time, direction and application, and is decoded when shown, which keeps a
// row of a 200,000-packet capture small. The packet belongs to the tree's
// records and outlives the row; a row that moves to another group keeps it.
class PacketTreeItem : public QTreeWidgetItem {
public:
    explicit PacketTreeItem(CapturedPacket* packet);

    const CapturedPacket& captured() const { return *packet; }
    CapturedPacket& captured() { return *packet; }
    QVariant data(int column, int role) const override;

    // The background of a packet of this direction ("incoming" green,
    // "outgoing" red, anything else blue), following the palette in force.
    static QColor directionColor(const QString& direction);

private:
    CapturedPacket* packet;
};
