#include "logcellitem.h"

LogRowLook& LogCellItem::look(Look which) {
    // Leaked on purpose: icons and brushes must not be destroyed after the
    // application object in a static destructor.
    static LogRowLook* looks = new LogRowLook[LookCount];
    return looks[which < LookCount ? which : NoLook];
}

LogCellItem::LogCellItem(const QString& text, Look look, int type)
    : QTableWidgetItem(type), rowLook(look), shown(text) {}

QVariant LogCellItem::data(int role) const {
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return shown;
    if (role == Qt::BackgroundRole && rowLook != NoLook)
        return look(rowLook).background;
    return QTableWidgetItem::data(role);
}

void LogCellItem::setData(int role, const QVariant& value) {
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        shown = value.toString();
    QTableWidgetItem::setData(role, value);
}

LogLeadingItem::LogLeadingItem(const QString& text, Look look, int fillRow)
    : LogCellItem(text, look, ItemType), row(fillRow) {}

LogLeadingItem::LogLeadingItem(const QString& text, Look look, int fillRow, qint64 sortKey)
    : LogCellItem(text, look, ItemType), row(fillRow), keyed(true), key(sortKey) {}

QVariant LogLeadingItem::data(int role) const {
    if (role == FillRowRole)
        return row;
    const LogRowLook& shared = look(rowLook);
    if (role == Qt::DecorationRole && !shared.icon.isNull())
        return shared.icon;
    if (role == Qt::UserRole && !shared.kind.isEmpty())
        return shared.kind;
    return LogCellItem::data(role);
}

bool LogLeadingItem::operator<(const QTableWidgetItem& other) const {
    if (other.type() != ItemType)
        return QTableWidgetItem::operator<(other);
    const auto& theirs = static_cast<const LogLeadingItem&>(other);
    if (!keyed || !theirs.keyed)
        return QTableWidgetItem::operator<(other);
    if (key != theirs.key)
        return key < theirs.key;
    // Equal keys (also two unreadable times) fall back to the text.
    return text() < other.text();
}
