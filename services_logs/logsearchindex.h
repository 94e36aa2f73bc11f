#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// The searched text of every row of a Logs table, lower-cased into one
// buffer in the order the rows were filled, with each row's kind. A filter
// keystroke searches this buffer instead of reading scattered cells.
class LogSearchIndex {
public:
    // The kind of a row that no kind button hides.
    static constexpr quint8 NoKind = 3;

    void clear();
    void reserve(int rows);
    // Fields of one row; they are searched apart (a text never matches across two).
    void addRow(std::initializer_list<const QString*> fields, quint8 kind);

    int rowCount() const { return int(kinds.size()); }
    quint8 kindOf(int row) const { return kinds[size_t(row)]; }
    // Per row, whether its text holds needle regardless of letter case.
    std::vector<bool> rowsHolding(const QString& needle) const;

private:
    QByteArray text;          // fields lower-cased as UTF-8, each followed by '\n'
    std::vector<int> rowEnds; // end of each row's text in the buffer
    std::vector<quint8> kinds;
};
