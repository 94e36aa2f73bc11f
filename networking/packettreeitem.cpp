#include "packettreeitem.h"

#include "themecolors.h"

#include <QBrush>

PacketTreeItem::PacketTreeItem(const PacketInfo& packet) : QTreeWidgetItem(UserType), m_packet(packet) {}

QColor PacketTreeItem::directionColor(const QString& direction) {
    if (direction.compare(QLatin1String("incoming"), Qt::CaseInsensitive) == 0)
        return statusColorGreen();
    if (direction.compare(QLatin1String("outgoing"), Qt::CaseInsensitive) == 0)
        return statusColorRed();
    return statusColorBlue();
}

QVariant PacketTreeItem::data(int column, int role) const {
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case 1:
            return m_packet.timestamp;
        case 2:
            return m_packet.sourceIP;
        case 3:
            return QString::number(m_packet.sourcePort);
        case 4:
            return m_packet.destinationIP;
        case 5:
            return QString::number(m_packet.destinationPort);
        case 6:
            return m_packet.protocol;
        case 7:
            return QString::number(m_packet.length);
        case 8:
            return m_packet.direction;
        default:
            return QString();
        }
    }
    if (role == Qt::BackgroundRole && column >= 0 && column < 9)
        return QBrush(directionColor(m_packet.direction));
    if (role == Qt::UserRole && column == 0)
        return QVariant::fromValue(m_packet);
    return QTreeWidgetItem::data(column, role);
}
