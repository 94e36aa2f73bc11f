#include "packettreeitem.h"

#include "themecolors.h"

#include <QBrush>

PacketTreeItem::PacketTreeItem(const PacketInfo& packet)
    : QTreeWidgetItem(UserType), record(std::make_unique<const PacketInfo>(packet)) {}

PacketTreeItem::PacketTreeItem(CapturedPacket packet)
    : QTreeWidgetItem(UserType), captured(std::move(packet)) {}

PacketInfo PacketTreeItem::packet() const {
    return record ? *record : captured.info();
}

QColor PacketTreeItem::directionColor(const QString& direction) {
    if (direction.compare(QLatin1String("incoming"), Qt::CaseInsensitive) == 0)
        return statusColorGreen();
    if (direction.compare(QLatin1String("outgoing"), Qt::CaseInsensitive) == 0)
        return statusColorRed();
    return statusColorBlue();
}

QString PacketTreeItem::columnText(int column) const {
    if (!record)
        return captured.columnText(column);
    switch (column) {
    case 1:
        return record->timestamp;
    case 2:
        return record->sourceIP;
    case 3:
        return QString::number(record->sourcePort);
    case 4:
        return record->destinationIP;
    case 5:
        return QString::number(record->destinationPort);
    case 6:
        return record->protocol;
    case 7:
        return QString::number(record->length);
    case 8:
        return record->direction;
    default:
        return QString();
    }
}

QVariant PacketTreeItem::data(int column, int role) const {
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return columnText(column);
    if (role == Qt::BackgroundRole && column >= 0 && column < 9)
        return QBrush(directionColor(record ? record->direction : directionText(captured.direction)));
    if (role == Qt::UserRole && column == 0)
        return QVariant::fromValue(packet());
    return QTreeWidgetItem::data(column, role);
}
