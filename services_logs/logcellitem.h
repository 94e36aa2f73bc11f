#pragma once

#include <QBrush>
#include <QIcon>
#include <QTableWidgetItem>

// How the cells of one kind of log row look: the row colour, the icon of its
// first cell and the kind word the kind buttons filter on.
struct LogRowLook {
    QBrush background;
    QIcon icon;
    QString kind;
};

// A cell of a Logs table. A big log has millions of cells: the text is kept
// in a member and the colour, icon and kind come from a shared look, so a
// cell costs one small object instead of a list of stored values.
class LogCellItem : public QTableWidgetItem {
public:
    static constexpr int ItemType = QTableWidgetItem::UserType + 2;

    // The looks cells refer to by number; 0 is "no look".
    enum Look : quint8 {
        NoLook,
        Information,
        Warning,
        Error,
        Install,
        Upgrade,
        Remove,
        OtherAction,
        Calm,
        Alarm,
        LookCount
    };
    // Filled by the Logs page before it builds cells (colours follow the palette).
    static LogRowLook& look(Look which);

    LogCellItem(const QString& text, Look look, int type = ItemType);

    QVariant data(int role) const override;
    void setData(int role, const QVariant& value) override;

protected:
    Look rowLook;

private:
    QString shown;
};

// The first cell of a row: it also shows the look's icon, carries the kind
// word and the row's place in the fill, and sorts by a key when it has one
// (times, seconds since boot).
class LogLeadingItem : public LogCellItem {
public:
    static constexpr int ItemType = QTableWidgetItem::UserType + 3;
    // The row's place in the fill that built it; it stays with the row when
    // the table is sorted.
    static constexpr int FillRowRole = Qt::UserRole + 1;

    LogLeadingItem(const QString& text, Look look, int fillRow);
    LogLeadingItem(const QString& text, Look look, int fillRow, qint64 sortKey);

    int fillRow() const { return row; }
    QVariant data(int role) const override;
    bool operator<(const QTableWidgetItem& other) const override;

private:
    int row;
    bool keyed = false;
    qint64 key = 0;
};
