#pragma once

#include <QSortFilterProxyModel>

// Orders the account tiles by user id and filters them by name or type.
class UserSortProxyModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // ShownNameRole: the name as the tile writes it (display-safe).
    enum Role {
        UidRole = 256,
        UserNameRole = 257,
        UserTypeRole = 258,
        PlainIconRole = 259,
        ShownNameRole = 260
    };

    explicit UserSortProxyModel(QObject* parent = nullptr);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
