#include "customlistview.h"

#include <QMouseEvent>

CustomListView::CustomListView(QWidget* parent) : QListView(parent) {}

CustomListView::~CustomListView() = default;

void CustomListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (event->button() == Qt::RightButton && index.isValid() && selectionModel() &&
        !selectionModel()->isSelected(index)) {
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        setCurrentIndex(index);
    }
    if (!index.isValid() && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
        clearSelection();
        setCurrentIndex(QModelIndex());
    }
    QAbstractItemView::mousePressEvent(event);
}
