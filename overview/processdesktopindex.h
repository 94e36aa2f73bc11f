#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// The Exec= and Icon= lines of every desktop entry in a few folders, read
// once and again only when a folder changes, so that finding an icon for a
// process never reads the entries themselves.
class ProcessDesktopIndex {
public:
    struct Line {
        bool isExec = false;
        // Exec: the program word, lower-cased; Icon: the icon value, trimmed.
        QString value;
    };
    using Entry = QVector<Line>;

    explicit ProcessDesktopIndex(const QStringList& folders);

    // Reads the entries again when a folder appeared, vanished or changed
    // since the last call. Returns true when it did.
    bool refreshIfChanged();

    // Icon values of the entries whose program word contains the process
    // name (ignoring case): per entry, the first Icon= after the first
    // matching Exec=. In the order the folders were read.
    QStringList iconValuesFor(const QString& processName) const;

    static Entry parseEntry(const QByteArray& text);

private:
    QStringList folders;
    QVector<qint64> folderStamps;
    QVector<Entry> entries;
    bool built = false;
};
