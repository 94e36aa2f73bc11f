#pragma once

#include "x11windowicons.h"

#include <QImage>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

struct xcb_connection_t;
struct xcb_get_property_reply_t;
typedef struct _XDisplay Display;

// Reads the properties of the desktop's windows straight from the X server,
// on a connection of its own to the display named by DISPLAY, so that it can
// work on any one thread. Requests are sent in batches, each whole before
// its first answer is awaited, so a listing costs a round trip per batch
// however many windows it asks about. Window icons are fetched apart
// (icons()), only when a window is new or its icon changed. Without a
// connection (no display) every answer is empty.
class X11WindowReader {
public:
    // Opens the connection; it is closed with the reader.
    static std::unique_ptr<X11WindowReader> withOwnConnection();
    ~X11WindowReader();
    X11WindowReader(const X11WindowReader&) = delete;
    X11WindowReader& operator=(const X11WindowReader&) = delete;

    // The most windows taken from the window manager's list: far beyond any
    // desktop, and a bound on what a program making windows without end
    // can cost a listing.
    static constexpr int maximumClients = 65536;

    struct WindowFacts {
        // _NET_WM_PID, 0 when unset.
        int pid = 0;
        // The instance name of WM_CLASS, empty when unset.
        QString windowClass;
        // _NET_WM_DESKTOP: 0 when unset, 0xFFFFFFFF on every desktop.
        quint32 desktop = 0;
        // _NET_WM_NAME, else WM_NAME; null when the window has neither.
        QString title;
        // The window no longer exists: it closed after it was listed.
        bool gone = false;
    };

    bool isAvailable() const;

    // The windows the window manager manages (_NET_CLIENT_LIST of listRoot,
    // the screen's root window when 0), in its order; nothing when there is
    // no connection or no such list.
    std::optional<QVector<quint32>> clientList(quint32 listRoot = 0);

    // Facts of each window in the order given. In the same round trips,
    // checks that the windows whose icons are kept are still watched, and
    // brings their icons' change events.
    QVector<WindowFacts> read(const QVector<quint32>& windows);

    // The windows of the window manager's list that sit on a desktop, as
    // "wmctrl -l" lists them: those whose _NET_WM_DESKTOP is not 0xFFFFFFFF
    // (shown on every desktop, as panels and the desktop background are)
    // count. Nothing when there is no connection or no managed window list.
    std::optional<int> countDesktopWindows(quint32 listRoot = 0);

    // Each window's icon from its _NET_WM_ICON, at most side pixels each
    // way; null where it has none usable (see X11WindowIcons). Windows not
    // given are forgotten. Called after read() of the same listing.
    QVector<QImage> icons(const QVector<quint32>& windows, int side);
    // What icons() fetched so far.
    X11WindowIcons::Counters iconCounters() const;

private:
    X11WindowReader(Display* openDisplay, quint32 rootWindow);
    bool internAtoms();
    void readBatch(const quint32* windows, int count, WindowFacts* facts);
    QString titleOf(xcb_get_property_reply_t* netName, xcb_get_property_reply_t* name);
    QString convertedText(xcb_get_property_reply_t* reply);

    // Xlib's, for its conversion of text properties; every request goes
    // through its XCB connection. Null when the display could not be reached.
    Display* display = nullptr;
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
