#include "timesortingtablewidgetitem.h"

TimeSortingTableWidgetItem::TimeSortingTableWidgetItem(const QString& text, qint64 timeKey)
    : QTableWidgetItem(text) {
    setData(TimeKeyRole, timeKey);
}

bool TimeSortingTableWidgetItem::operator<(const QTableWidgetItem& other) const {
    const qint64 mine = data(TimeKeyRole).toLongLong(), theirs = other.data(TimeKeyRole).toLongLong();
    if (mine != theirs)
        return mine < theirs;
    // Equal keys (also two unreadable times) fall back to the text.
    return text() < other.text();
}
