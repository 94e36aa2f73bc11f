#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reads the window list that `wmctrl -l` prints, one window a line:
//   0x01c00003  0 host Title with blanks
class WindowListParser {
public:
    struct Entry {
        QString id;
        int desktop = 0;
        QString title;
    };

    // The listed windows in the order given, leaving out windows shown on
    // every desktop (desktop -1: panels, the desktop background). Titles are
    // chosen by other programs and may hold line breaks, so a line counts
    // only when its id is hexadecimal and its desktop field an integer, and
    // an id seen before is not taken a second time.
    static QList<Entry> parse(const QByteArray& output);

    // The id text as a window number; 0 when it is not one.
    static quint32 windowNumber(const QString& id);
};
