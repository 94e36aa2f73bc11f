#pragma once

#include <QTableWidgetItem>

// A time cell that shows the time as written ("Mar  4 10:20:30") but sorts
// by a key that grows with the time, so months sort in calendar order and
// December comes before the January after it.
class TimeSortingTableWidgetItem : public QTableWidgetItem {
public:
    static constexpr int ItemType = QTableWidgetItem::UserType + 1;

    TimeSortingTableWidgetItem(const QString& text, qint64 timeKey);

    qint64 timeKey() const { return key; }
    // Sorting a big log compares millions of times: the key is a member, not
    // item data, so a comparison reads two numbers.
    bool operator<(const QTableWidgetItem& other) const override;

private:
    qint64 key;
};
