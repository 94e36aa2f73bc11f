#include "timesortingtablewidgetitem.h"

TimeSortingTableWidgetItem::TimeSortingTableWidgetItem(const QString& text, qint64 timeKey)
    : QTableWidgetItem(text, ItemType), key(timeKey) {}

bool TimeSortingTableWidgetItem::operator<(const QTableWidgetItem& other) const {
    if (other.type() != ItemType)
        return QTableWidgetItem::operator<(other);
    const qint64 theirs = static_cast<const TimeSortingTableWidgetItem&>(other).key;
    if (key != theirs)
        return key < theirs;
    // Equal keys (also two unreadable times) fall back to the text.
    return text() < other.text();
}
