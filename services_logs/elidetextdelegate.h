#pragma once

#include <QStyledItemDelegate>

// Draws each cell on one line: its background, a 16 x 16 icon and the text
// cut with an ellipsis at the cell's width, so rows keep their height. A cell
// whose text is cut shows the whole text as its tooltip.
class ElideTextDelegate : public QStyledItemDelegate {
public:
    ElideTextDelegate();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The tooltip of a cell: the whole text when it does not fit, else empty.
    QString toolTipFor(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    // Longer texts are cut in the tooltip too.
    static constexpr int MaxToolTipCharacters = 4000;

private:
    // Where the text of a cell goes, after its icon.
    QRect textRect(const QStyleOptionViewItem& cell) const;
};
