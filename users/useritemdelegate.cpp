#include "useritemdelegate.h"

#include "usersortproxymodel.h"

#include <QApplication>
#include <QPainter>

namespace {
constexpr int tileSize = 190;
}

UserItemDelegate::UserItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void UserItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    painter->save();
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QRect r = opt.rect;
    const bool selected = opt.state & QStyle::State_Selected;

    const QIcon icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
    const QPixmap picture = icon.pixmap(tileSize, tileSize, selected ? QIcon::Selected : QIcon::Normal);
    painter->drawPixmap(r.left() + (r.width() - tileSize) / 2, r.top(), picture);

    const QFont regular = painter->font();
    QFont bold = regular;
    bold.setBold(true);
    const QFontMetrics regularMetrics(regular);
    const QFontMetrics boldMetrics(bold);
    const QString name = index.data(UserSortProxyModel::ShownNameRole).toString();
    const QString type = index.data(UserSortProxyModel::UserTypeRole).toString();

    const int nameWidth = boldMetrics.horizontalAdvance(name) + 10;
    const int typeWidth = regularMetrics.horizontalAdvance(type) + 10;
    const QRect nameBox(r.left() + (r.width() - nameWidth) / 2, r.top() + tileSize - 7, nameWidth,
                        boldMetrics.height() + 1);
    const QRect typeBox(r.left() + (r.width() - typeWidth) / 2, r.top() + tileSize + 10, typeWidth,
                        regularMetrics.height() + 1);

    if (selected) {
        const QColor fill = opt.palette.highlight().color().darker(150);
        painter->fillRect(nameBox, fill);
        painter->fillRect(typeBox, fill);
        painter->setPen(opt.palette.highlightedText().color());
    } else {
        painter->setPen(opt.palette.text().color());
    }
    painter->setFont(bold);
    painter->drawText(nameBox.adjusted(0, -1, 0, -1), Qt::AlignCenter, name);
    painter->setFont(regular);
    painter->drawText(typeBox.adjusted(0, -1, 0, -1), Qt::AlignCenter, type);
    painter->restore();
}

QSize UserItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    QFont bold = option.font;
    bold.setBold(true);
    size.setHeight(size.height() + 2 * QFontMetrics(bold).height() + 10);
    return size;
}
