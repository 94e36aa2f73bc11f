#pragma once

#include <QStyledItemDelegate>

// Draws each cell on one line: its background, a 16 x 16 icon and the text
// cut with an ellipsis at the cell's width, so rows keep their height.
class ElideTextDelegate : public QStyledItemDelegate {
public:
    ElideTextDelegate();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
