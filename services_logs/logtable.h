#pragma once

#include "logsearchindex.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

// How a row of a Logs page looks (its colour and the icon of its first
// cell) and which kind button hides it.
enum class LogLook : quint8 {
    Information,
    Warning,
    Error,
    Install,
    Upgrade,
    Remove,
    OtherAction,
    Calm,    // a login record without failures
    Alarm,   // a login record with failures
    Unknown, // a login record whose failure count could not be read
};

// The rows of one Logs page in compact form. A big syslog has a million
// rows: one cell object per field would cost several times the file, so
// every field is kept as UTF-8 in one buffer, with an end offset per field,
// a look per row and, on pages that sort by time or number, a key per row.
// Built on the worker's thread, then shared read-only with the page.
class LogTable {
public:
    using Field = LogSearchIndex::Field;
    // The kind of a row that no kind button hides.
    static constexpr int NoKind = 3;

    // searchedColumns has a bit per column whose text the page's filter
    // searches; keyed pages sort their first column by key.
    LogTable(int columnCount, unsigned searchedColumns, bool keyed);

    int columnCount() const { return columns; }
    int rowCount() const { return int(looks.size()); }
    bool isKeyed() const { return keyed; }
    // Rows and bytes about to come; growing by doubling would copy.
    void reserve(int rows, qint64 textBytes);

    // One row: columnCount() fields.
    void appendRow(const Field* fields, LogLook look, qint64 key = 0);
    void appendRow(const QStringList& fields, LogLook look, qint64 key = 0);
    void setKey(int row, qint64 key) { keys[size_t(row)] = key; }

    Field field(int row, int column) const;
    QString text(int row, int column) const;
    LogLook look(int row) const { return looks[size_t(row)]; }
    int kind(int row) const { return kindOf(look(row)); }
    qint64 key(int row) const { return keyed ? keys[size_t(row)] : 0; }
    const LogSearchIndex& search() const { return index; }
    static int kindOf(LogLook look);

    // Reorders rows (row numbers) by column: keyed first columns by key,
    // everything else by text; rows that compare equal keep the order they
    // had. Returns false, leaving rows as they were, when cancel is set or
    // the program quits meanwhile.
    bool sortRows(std::vector<quint32>& rows, int column, bool descending,
                  const std::atomic<bool>* cancel = nullptr) const;

    // Sorts the rows by key once, where the table is built.
    void sortByKey();
    // The rows in key order, rows of equal key and text in the order they
    // were added; empty when sortByKey() was not called.
    std::vector<quint32> rowsByKey(bool descending) const;

private:
    bool lessByKey(quint32 a, quint32 b) const;

    int columns;
    unsigned searched;
    bool keyed;
    QByteArray bytes;
    std::vector<quint32> ends; // end of each field: row * columns + column
    std::vector<qint64> keys;
    std::vector<LogLook> looks;
    std::vector<quint32> keyOrder;
    LogSearchIndex index;
};

using LogTablePtr = std::shared_ptr<const LogTable>;
Q_DECLARE_METATYPE(LogTablePtr)
