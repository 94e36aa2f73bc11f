#pragma once

#include <QHash>
#include <QImage>
#include <QVector>

#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

// The icons of the listed windows from their _NET_WM_ICON, at the size of a
// table row. A window's icon is fetched when it is first listed and again
// only when its property changes: this connection watches each listed
// window's property changes (event masks are per client, so the window's
// owner is not disturbed). Of the images in the property only the headers
// are read, then the one image that fits the row, which is scaled to the
// row; only that small image is kept.
//
// Other programs choose these properties, so what one listing fetches is
// bounded: at most maximumImagesPerWindow headers of a window, and over all
// windows maximumHeaderReads headers and maximumPixelBytes of pixels (four
// images of the largest accepted size, 1024 x 1024). A window whose icon
// does not fit what is left of the bound keeps what it showed (nothing, for
// a new window, so the caller falls back to other sources) and is tried
// again at the next listing, new windows before changed ones.
class X11WindowIcons {
public:
    static constexpr int maximumImagesPerWindow = 16;
    static constexpr int maximumHeaderReads = 1024;
    static constexpr qint64 maximumPixelBytes = 16 * 1024 * 1024;

    // Since the object was made.
    struct Counters {
        int headerReads = 0;
        int imageFetches = 0;
        qint64 pixelBytes = 0;
    };

    // The connection stays the caller's; it must outlive this object, which
    // lives on the thread that made it.
    X11WindowIcons(xcb_connection_t* connection, quint32 netWmIcon);
    ~X11WindowIcons();
    X11WindowIcons(const X11WindowIcons&) = delete;
    X11WindowIcons& operator=(const X11WindowIcons&) = delete;

    // The icon of each window in the order given, at most side pixels each
    // way; null where the window has none usable or it waits for a later
    // listing. Windows not given are forgotten and no longer watched. Called
    // after a round trip of the listing, which brought the change events.
    QVector<QImage> icons(const QVector<quint32>& windows, int side);

    // Whether the window's icon is kept (and its changes watched).
    bool keeps(quint32 window) const { return tracked.contains(window); }
    // For a kept window that this connection no longer watches: one that
    // closed, or a new window that took its id (the X server hands out a
    // closed client's ids again). It is read as a new window.
    void forget(quint32 window) { tracked.remove(window); }

    const Counters& counters() const { return fetched; }

private:
    struct Tracked {
        QImage image;
        // False until fetched, and again once the property changed.
        bool current = false;
    };

    void watch(quint32 window, bool on);
    void forgetUnlisted(const QVector<quint32>& windows);
    // Marks the windows whose icon changed, from the events received so far.
    void takeEvents();
    void fetch(const QVector<quint32>& windows, int side);

    xcb_connection_t* connection;
    quint32 netWmIcon;
    QHash<quint32, Tracked> tracked;
    int trackedSide = 0;
    Counters fetched;
    // Takes the events as they come between listings, so that they never
    // pile up on this connection or in the X server.
    std::unique_ptr<QSocketNotifier> eventNotifier;
};
