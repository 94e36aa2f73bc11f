#include "elidetextdelegate.h"

#include "plaintooltip.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {
const int padding = 4;
const int iconSize = 16;
// No cell is this many characters wide: a longer text is cut before it is
// measured, so a line of a megabyte costs no more to draw than any other.
const int widestCell = 1000;

QString measurable(const QString& text) {
    return text.size() > widestCell ? text.left(widestCell) + QChar(0x2026) : text;
}
} // namespace

ElideTextDelegate::ElideTextDelegate() : QStyledItemDelegate(nullptr) {}

QRect ElideTextDelegate::textRect(const QStyleOptionViewItem& cell) const {
    QRect text = cell.rect.adjusted(padding, 0, -padding, 0);
    if (!cell.icon.isNull())
        text.setLeft(cell.rect.left() + padding + iconSize + padding);
    return text;
}

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

    if (!cell.icon.isNull()) {
        const QRect iconRect(cell.rect.left() + padding,
                             cell.rect.top() + (cell.rect.height() - iconSize) / 2, iconSize, iconSize);
        cell.icon.paint(painter, iconRect, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    }

    const QRect text = textRect(cell);
    const QString shown =
        QFontMetrics(cell.font).elidedText(measurable(cell.text), Qt::ElideRight, text.width());
    const Qt::Alignment horizontal =
        (cell.displayAlignment & Qt::AlignRight) ? Qt::AlignRight : Qt::AlignLeft;
    painter->setFont(cell.font);
    painter->drawText(text, int(horizontal | Qt::AlignVCenter), shown);
    painter->restore();
}

QString ElideTextDelegate::toolTipFor(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (cell.text.isEmpty() ||
        QFontMetrics(cell.font).horizontalAdvance(measurable(cell.text)) <= textRect(cell).width())
        return QString();
    QString whole = cell.text.left(MaxToolTipCharacters);
    if (whole.size() < cell.text.size())
        whole += QChar(0x2026);
    return plainTextToolTip(whole);
}

bool ElideTextDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = toolTipFor(option, index);
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}
