#include "x11windowicons.h"

#include "windowproperties.h"
#include "x11replies.h"

#include <QLoggingCategory>
#include <QPair>
#include <QSet>
#include <QSocketNotifier>

#include <vector>

Q_LOGGING_CATEGORY(lcWindowIcons, "tessmar.applications.icons", QtWarningMsg)

using namespace X11Replies;
using WindowProperties::IconImage;

X11WindowIcons::X11WindowIcons(xcb_connection_t* connection, quint32 netWmIcon)
    : connection(connection), netWmIcon(netWmIcon),
      eventNotifier(
          std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read)) {
    QObject::connect(eventNotifier.get(), &QSocketNotifier::activated, eventNotifier.get(),
                     [this] { takeEvents(); });
}

X11WindowIcons::~X11WindowIcons() = default;

QVector<QImage> X11WindowIcons::icons(const QVector<quint32>& windows, int side) {
    if (side != trackedSide) {
        for (Tracked& window : tracked)
            window.current = false;
        trackedSide = side;
    }
    forgetUnlisted(windows);
    // The listing's round trip brought the changes made before it.
    takeEvents();
    for (quint32 window : windows) {
        if (!tracked.contains(window)) {
            // Watched before its icon is read: a change after the read is seen.
            watch(window, true);
            tracked.insert(window, Tracked());
        }
    }
    fetch(windows, side);
    xcb_flush(connection);

    QVector<QImage> images;
    images.reserve(windows.size());
    for (quint32 window : windows)
        images.append(tracked.value(window).image);
    return images;
}

void X11WindowIcons::watch(quint32 window, bool on) {
    const quint32 mask = on ? XCB_EVENT_MASK_PROPERTY_CHANGE : XCB_EVENT_MASK_NO_EVENT;
    // No answer; a window that has gone gives an error among the events.
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}

void X11WindowIcons::forgetUnlisted(const QVector<quint32>& windows) {
    const QSet<quint32> listed(windows.cbegin(), windows.cend());
    for (auto it = tracked.begin(); it != tracked.end();) {
        if (listed.contains(it.key())) {
            ++it;
        } else {
            watch(it.key(), false);
            it = tracked.erase(it);
        }
    }
}

void X11WindowIcons::takeEvents() {
    if (xcb_connection_has_error(connection)) {
        // A closed connection reads as always ready.
        eventNotifier->setEnabled(false);
        return;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            const auto found = tracked.find(notify->window);
            if (notify->atom == netWmIcon && found != tracked.end())
                found->current = false;
        }
        std::free(event);
    }
}

void X11WindowIcons::fetch(const QVector<quint32>& windows, int side) {
    struct Walk {
        quint32 window;
        WindowProperties::NetWmIconWalk walk;
        // Left for the next listing: the bound ended its walk.
        bool cut = false;
    };
    std::vector<Walk> walks;
    // Windows with nothing to show yet come before changed ones.
    for (bool changed : {false, true}) {
        for (quint32 window : windows) {
            const Tracked& state = tracked[window];
            if (!state.current && state.image.isNull() != changed)
                walks.push_back({window, WindowProperties::NetWmIconWalk(maximumImagesPerWindow)});
        }
    }
    if (walks.empty())
        return;

    // The headers, one image further in every round; all requests of a
    // round are sent before the first answer is awaited.
    int headerReads = 0;
    for (;;) {
        QVector<QPair<Walk*, xcb_get_property_cookie_t>> round;
        for (Walk& walk : walks) {
            if (walk.walk.finished() || walk.cut)
                continue;
            if (headerReads == maximumHeaderReads || walk.walk.nextOffset() > 0xFFFFFFFFu) {
                walk.cut = true;
                continue;
            }
            round.append({&walk, requestProperty(connection, walk.window, netWmIcon, XCB_ATOM_CARDINAL, 2,
                                                 quint32(walk.walk.nextOffset()))});
            ++headerReads;
        }
        if (round.isEmpty())
            break;
        for (const auto& [walk, cookie] : round) {
            const PropertyReply reply = takeReply(connection, cookie);
            const auto [values, count] = values32(reply.get());
            const bool cardinal = reply && reply->type == XCB_ATOM_CARDINAL;
            const quint64 propertyValues =
                walk->walk.nextOffset() + quint64(count) + (reply ? reply->bytes_after / 4 : 0);
            walk->walk.take(cardinal ? values : nullptr, cardinal ? count : 0, propertyValues);
        }
    }
    fetched.headerReads += headerReads;

    struct Fetch {
        quint32 window;
        IconImage image;
        xcb_get_property_cookie_t cookie;
    };
    QVector<Fetch> fetches;
    qint64 pixelBytes = 0;
    for (const Walk& walk : walks) {
        if (walk.cut) {
            qCDebug(lcWindowIcons) << "Icon of window" << walk.window << "left for the next listing";
            continue;
        }
        const int chosen = WindowProperties::chooseIconImage(walk.walk.images(), side);
        if (chosen < 0) {
            tracked[walk.window] = {QImage(), true};
            continue;
        }
        const IconImage image = walk.walk.images().at(chosen);
        const qint64 bytes = qint64(image.pixelCount()) * 4;
        if (pixelBytes + bytes > maximumPixelBytes) {
            qCDebug(lcWindowIcons) << "Icon of window" << walk.window << "left for the next listing";
            continue;
        }
        pixelBytes += bytes;
        fetches.append({walk.window, image,
                        requestProperty(connection, walk.window, netWmIcon, XCB_ATOM_CARDINAL,
                                        quint32(image.pixelCount()), quint32(image.pixelOffset))});
    }
    for (const Fetch& fetch : fetches) {
        const PropertyReply reply = takeReply(connection, fetch.cookie);
        const auto [values, count] = values32(reply.get());
        const bool cardinal = reply && reply->type == XCB_ATOM_CARDINAL;
        // A property rewritten since its headers were read gives other data
        // here; its change event has it read again at the next listing.
        tracked[fetch.window] = {
            cardinal ? WindowProperties::iconFromPixels(values, count, fetch.image, side) : QImage(), true};
    }
    fetched.imageFetches += fetches.size();
    fetched.pixelBytes += pixelBytes;
}
