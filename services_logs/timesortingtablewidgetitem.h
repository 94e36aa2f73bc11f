#pragma once

#include <QTableWidgetItem>

// A time cell that shows the time as written ("Mar  4 10:20:30") but sorts
// by a key that grows with the time, so months sort in calendar order and
// December comes before the January after it.
class TimeSortingTableWidgetItem : public QTableWidgetItem {
public:
    static constexpr int TimeKeyRole = Qt::UserRole + 1;

    TimeSortingTableWidgetItem(const QString& text, qint64 timeKey);

    bool operator<(const QTableWidgetItem& other) const override;
};
