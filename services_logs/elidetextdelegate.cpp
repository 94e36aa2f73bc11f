#include "elidetextdelegate.h"

#include <QPainter>

ElideTextDelegate::ElideTextDelegate() : QStyledItemDelegate(nullptr) {}

void ElideTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);

    painter->save();
    painter->setClipRect(cell.rect);
    if (cell.state & QStyle::State_Selected) {
        painter->fillRect(cell.rect, cell.palette.highlight());
        painter->setPen(cell.palette.highlightedText().color());
    } else {
        painter->fillRect(cell.rect, cell.backgroundBrush);
    }

    const int padding = 4;
    QRect textRect = cell.rect.adjusted(padding, 0, -padding, 0);
    if (!cell.icon.isNull()) {
        const int iconSize = 16;
        const QRect iconRect(cell.rect.left() + padding,
                             cell.rect.top() + (cell.rect.height() - iconSize) / 2, iconSize, iconSize);
        cell.icon.paint(painter, iconRect, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
        textRect.setLeft(iconRect.right() + 1 + padding);
    }

    const QString shown = QFontMetrics(cell.font).elidedText(cell.text, Qt::ElideRight, textRect.width());
    const Qt::Alignment horizontal =
        (cell.displayAlignment & Qt::AlignRight) ? Qt::AlignRight : Qt::AlignLeft;
    painter->setFont(cell.font);
    painter->drawText(textRect, int(horizontal | Qt::AlignVCenter), shown);
    painter->restore();
}
