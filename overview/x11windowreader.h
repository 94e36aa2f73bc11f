#pragma once

#include <QImage>
#include <QSet>
#include <QString>
#include <QVector>

// Reads the properties of the desktop's windows straight from the X server,
// on Qt's own XCB connection (GUI thread only). Every request of one call is
// sent before the first answer is awaited, so a call costs one round trip
// however many windows it asks about. Off the X11 platform (offscreen,
// Wayland) there is no connection, and every answer is empty.
class X11WindowReader {
public:
    struct WindowFacts {
        // The chosen _NET_WM_ICON image; null when the window has none usable.
        QImage icon;
        // _NET_WM_PID, 0 when unset.
        int pid = 0;
        // The instance name of WM_CLASS, empty when unset.
        QString windowClass;
    };
    struct Snapshot {
        QVector<WindowFacts> windows;
        // The windows the window manager manages (_NET_CLIENT_LIST); only
        // meaningful when haveClientList is true.
        bool haveClientList = false;
        QSet<quint32> clients;
    };

    static bool isAvailable();

    // Facts of each window in the order given, and the managed window list.
    Snapshot read(const QVector<quint32>& windows);

private:
    bool internAtoms();

    quint32 netWmIcon = 0;
    quint32 netWmPid = 0;
    quint32 netClientList = 0;
};
