#include "userrolesortingtablewidgetitem.h"

UserRoleSortingTableWidgetItem::UserRoleSortingTableWidgetItem(const QString& text)
    : QTableWidgetItem(text) {}

bool UserRoleSortingTableWidgetItem::operator<(const QTableWidgetItem& other) const {
    const QVariant mine = data(Qt::UserRole), theirs = other.data(Qt::UserRole);
    if (mine.isValid() && theirs.isValid())
        return mine.toInt() < theirs.toInt();
    return text().toDouble() < other.text().toDouble();
}
