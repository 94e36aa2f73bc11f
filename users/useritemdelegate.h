#pragma once

#include <QStyledItemDelegate>

// Paints an account tile: the 190x190 picture, the user name in bold and the
// account type below it.
class UserItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit UserItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
