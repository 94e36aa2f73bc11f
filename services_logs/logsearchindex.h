#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// The searched text of every row of a Logs page, lower-cased into one buffer
// in row order. A filter keystroke searches this buffer with memmem instead
// of reading scattered cells.
class LogSearchIndex {
public:
    struct Field {
        const char* data; // UTF-8
        int size;
    };

    void clear();
    void reserve(int rows, qint64 bytes);
    // Fields of one row; they are searched apart (a text never matches across two).
    void addRow(const Field* fields, int count);

    int rowCount() const { return int(rowEnds.size()); }
    // Per row, whether its text holds needle regardless of letter case.
    std::vector<bool> rowsHolding(const QString& needle) const;

private:
    QByteArray text;              // fields lower-cased as UTF-8, each followed by '\n'
    std::vector<quint32> rowEnds; // end of each row's text in the buffer
};
