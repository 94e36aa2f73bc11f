#include "usersortproxymodel.h"

UserSortProxyModel::UserSortProxyModel(QObject* parent) : QSortFilterProxyModel(parent) {}

bool UserSortProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    // A fixed-string filter keeps its plain text as the pattern.
    const QString pattern = filterRegExp().pattern().toLower();
    const QString name = index.data(UserNameRole).toString().toLower();
    const QString type = index.data(UserTypeRole).toString().toLower();
    return name.contains(pattern) || type.contains(pattern);
}

bool UserSortProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return left.data(UidRole).toInt() < right.data(UidRole).toInt();
}
