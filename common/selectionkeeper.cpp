#include "selectionkeeper.h"

#include <QAbstractItemView>
#include <QScrollBar>

SelectionKeeper::SelectionKeeper(QAbstractItemView* view, int keyColumn, int keyRole)
    : view(view), keyColumn(keyColumn), keyRole(keyRole), scrollValue(view->verticalScrollBar()->value()) {
    const QModelIndex current = view->currentIndex();
    if (current.isValid())
        currentKey = current.sibling(current.row(), keyColumn).data(keyRole);
}

void SelectionKeeper::restore() const {
    if (!view)
        return;
    const QAbstractItemModel* model = view->model();
    // Through match(), which a model of many rows may answer faster than a
    // walk over every row's data.
    QModelIndex found;
    if (currentKey.isValid() && model->rowCount() > 0) {
        const QModelIndexList hits =
            model->match(model->index(0, keyColumn), keyRole, currentKey, 1, Qt::MatchExactly);
        if (!hits.isEmpty())
            found = hits.first();
    }
    // Through the selection model: the view's own selectRow() would follow
    // the keyboard modifiers held at the moment, and Ctrl would toggle the
    // row off.
    QItemSelectionModel* selection = view->selectionModel();
    if (found.isValid()) {
        selection->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    view->verticalScrollBar()->setValue(scrollValue);
}
