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
    QModelIndex found;
    for (int row = 0; currentKey.isValid() && row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, keyColumn);
        if (index.data(keyRole) == currentKey) {
            found = index;
            break;
        }
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
