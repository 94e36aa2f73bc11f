#pragma once

#include <QTableWidgetItem>

// A table cell that sorts by the integer stored under Qt::UserRole, or by
// the number in its text when either cell has none.
class UserRoleSortingTableWidgetItem : public QTableWidgetItem {
public:
    explicit UserRoleSortingTableWidgetItem(const QString& text);

    bool operator<(const QTableWidgetItem& other) const override;
};
