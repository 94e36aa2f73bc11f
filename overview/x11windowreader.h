#pragma once

#include "x11windowicons.h"

#include <QImage>
#include <QSet>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

struct xcb_connection_t;

// Reads the properties of the desktop's windows straight from the X server,
// on a connection of its own to the display named by DISPLAY, so that it can
// work on any one thread. Every request of one read() is sent before the
// first answer is awaited, so it costs one round trip however many windows
// it asks about. Window icons are fetched apart (icons()), only when a
// window is new or its icon changed. Without a connection (no display) every
// answer is empty.
class X11WindowReader {
public:
    // Opens the connection; it is closed with the reader.
    static std::unique_ptr<X11WindowReader> withOwnConnection();
    ~X11WindowReader();
    X11WindowReader(const X11WindowReader&) = delete;
    X11WindowReader& operator=(const X11WindowReader&) = delete;

    struct WindowFacts {
        // _NET_WM_PID, 0 when unset.
        int pid = 0;
        // The instance name of WM_CLASS, empty when unset.
        QString windowClass;
        // _NET_WM_DESKTOP: 0 when unset, 0xFFFFFFFF on every desktop.
        quint32 desktop = 0;
        // _NET_WM_NAME, else WM_NAME; null when the window has neither.
        QString title;
    };
    struct Snapshot {
        QVector<WindowFacts> windows;
        // The windows the window manager manages (_NET_CLIENT_LIST); only
        // meaningful when haveClientList is true.
        bool haveClientList = false;
        QSet<quint32> clients;
    };

    bool isAvailable() const;

    // Facts of each window in the order given, and the managed window list.
    // In the same round trip, checks that the windows whose icons are kept
    // are still watched, and brings their icons' change events.
    Snapshot read(const QVector<quint32>& windows);

    // The windows the window manager manages (_NET_CLIENT_LIST of listRoot,
    // the screen's root window when 0) that sit on a desktop, as "wmctrl -l"
    // lists them: those whose _NET_WM_DESKTOP is not 0xFFFFFFFF (shown on
    // every desktop, as panels and the desktop background are) count.
    // Nothing when there is no connection or no managed window list.
    std::optional<int> countDesktopWindows(quint32 listRoot = 0);

    // Each window's icon from its _NET_WM_ICON, at most side pixels each
    // way; null where it has none usable (see X11WindowIcons). Windows not
    // given are forgotten. Called after read() of the same listing.
    QVector<QImage> icons(const QVector<quint32>& windows, int side);
    // What icons() fetched so far.
    X11WindowIcons::Counters iconCounters() const;

private:
    X11WindowReader(xcb_connection_t* openConnection, quint32 rootWindow);
    bool internAtoms();

    // Null when the display could not be reached.
    xcb_connection_t* connection = nullptr;
    quint32 root = 0;
    quint32 netWmIcon = 0;
    quint32 netWmPid = 0;
    quint32 netClientList = 0;
    quint32 netWmDesktop = 0;
    quint32 netWmName = 0;
    quint32 utf8String = 0;
    // Made at the first icons(), on the thread that calls it.
    std::unique_ptr<X11WindowIcons> windowIcons;
};
