#include "packettreeitem.h"

#include "themecolors.h"

#include <QBrush>

PacketTreeItem::PacketTreeItem(CapturedPacket* packet) : QTreeWidgetItem(UserType), packet(packet) {}

QColor PacketTreeItem::directionColor(const QString& direction) {
    if (direction.compare(QLatin1String("incoming"), Qt::CaseInsensitive) == 0)
        return statusColorGreen();
    if (direction.compare(QLatin1String("outgoing"), Qt::CaseInsensitive) == 0)
        return statusColorRed();
    return statusColorBlue();
}

QVariant PacketTreeItem::data(int column, int role) const {
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return packet->columnText(column);
    if (role == Qt::BackgroundRole && column >= 0 && column < 9)
        return QBrush(directionColor(directionText(packet->direction)));
    return QTreeWidgetItem::data(column, role);
}
