#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

// Which windows the Applications tab lists, and with what titles. Where the
// X server holds the window manager's list of the windows it manages, that
// list decides: every window on it has its row, whatever its own properties
// say. Elsewhere the rows come from the lines that `wmctrl -l` prints, one
// window a line:
//   0x01c00003  0 host Title with blanks
// Titles (and host names) are chosen by other programs and may hold line
// breaks, so a title can print lines that look like other windows' lines.
class WindowListParser {
public:
    struct Entry {
        // "0x" and eight hexadecimal digits, as wmctrl prints every id.
        QString id;
        quint32 number = 0;
        int desktop = 0;
        // The rest of the line, runs of blanks as one.
        QString title;
    };

    // Every window line in the order given, each window once, at its first
    // line. A line counts only when its id is hexadecimal and its desktop
    // field an integer.
    static QList<Entry> parse(const QByteArray& output);

    // The id text as a window number; 0 when it is not one.
    static quint32 windowNumber(const QString& id);
    // A window number as wmctrl prints it: "0x" and eight hexadecimal digits.
    static QString idText(quint32 number);

    // What the X server says of one listed window.
    struct ServerWindow {
        // In the window manager's own list (_NET_CLIENT_LIST).
        bool managed = false;
        // _NET_WM_DESKTOP; 0 when unset, 0xFFFFFFFF on every desktop.
        quint32 desktop = 0;
        // _NET_WM_NAME, else WM_NAME; null when the window has neither.
        QString title;
    };
    struct Row {
        // Index into the entries.
        int entry = 0;
        QString title;
    };

    // The windows to show, in the order of the entries, leaving out windows
    // shown on every desktop (panels, the desktop background). With server,
    // one ServerWindow per entry: only managed windows are shown, with their
    // own desktop and title. Without it (no X server to ask) the lines are
    // all there is.
    static QList<Row> rows(const QList<Entry>& entries, const QVector<ServerWindow>* server);

    // The rows of the window manager's own list, one ServerWindow per window
    // in its order (Row::entry indexes them): every window still managed
    // that is not shown on every desktop, with its own title.
    static QList<Row> managedRows(const QVector<ServerWindow>& windows);

    // A window title as its line of `wmctrl -l` shows it: up to its first
    // line break, runs of blanks as one; "N/A" for a window without one.
    static QString titleLine(const QString& title);
};
