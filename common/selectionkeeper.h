#pragma once

#include <QPointer>
#include <QVariant>

class QAbstractItemView;

// Keeps the user's place in a view across a refill: made before the rows are
// replaced, it remembers the current row's key (the keyRole data of its
// keyColumn) and the vertical scroll position; restore(), after the refill
// (and after sorting and filtering), makes the first row with the same key
// current and selected again, or selects nothing when that row is gone, so
// another row that took its place never becomes the target of an action
// unseen. The scroll position is put back last, so the view does not jump to
// the selected row.
//
//   const SelectionKeeper kept(table, ColumnName);
//   ...clear and refill the rows, sort, filter...
//   kept.restore();
class SelectionKeeper {
public:
    explicit SelectionKeeper(QAbstractItemView* view, int keyColumn = 0, int keyRole = Qt::DisplayRole);

    void restore() const;
    // The remembered key; invalid when no row was current.
    QVariant key() const { return currentKey; }

private:
    QPointer<QAbstractItemView> view;
    int keyColumn;
    int keyRole;
    QVariant currentKey;
    int scrollValue;
};
