#pragma once

#include "packetinfo.h"

#include <QTreeWidgetItem>

// One packet row of the Packet Sniffer tree. Its column texts, its record
// (under Qt::UserRole of column 0) and its direction colour are produced from
// the one PacketInfo it holds instead of being stored per cell, which keeps a
// row of a 200,000-packet capture small.
class PacketTreeItem : public QTreeWidgetItem {
public:
    explicit PacketTreeItem(const PacketInfo& packet);

    const PacketInfo& packet() const { return m_packet; }
    QVariant data(int column, int role) const override;

    // The background of a packet of this direction ("incoming" green,
    // "outgoing" red, anything else blue), following the palette in force.
    static QColor directionColor(const QString& direction);

private:
    PacketInfo m_packet;
};
