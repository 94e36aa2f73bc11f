#include "x11windowreader.h"

#include "windowproperties.h"
#include "x11replies.h"

#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>
#include <cstring>

Q_LOGGING_CATEGORY(lcX11Windows, "tessmar.applications.x11", QtWarningMsg)

using namespace X11Replies;

namespace {

// Titles are read up to this many 32-bit units (4 KB), as wmctrl reads them;
// only their first line is shown.
constexpr quint32 maximumTitleValues = 1024;

} // namespace

X11WindowReader::X11WindowReader(xcb_connection_t* openConnection, quint32 rootWindow)
    : connection(openConnection), root(rootWindow) {}

X11WindowReader::~X11WindowReader() {
    // Its notifier watches the connection's socket.
    windowIcons.reset();
    if (connection)
        xcb_disconnect(connection);
}

std::unique_ptr<X11WindowReader> X11WindowReader::withOwnConnection() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        qCDebug(lcX11Windows) << "Cannot connect to the X display";
        xcb_disconnect(connection);
        return std::unique_ptr<X11WindowReader>(new X11WindowReader(nullptr, 0));
    }
    quint32 root = 0;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; screens.rem > 0; ++i, xcb_screen_next(&screens)) {
        if (i == screenNumber) {
            root = screens.data->root;
            break;
        }
    }
    return std::unique_ptr<X11WindowReader>(new X11WindowReader(connection, root));
}

bool X11WindowReader::isAvailable() const {
    return connection != nullptr;
}

bool X11WindowReader::internAtoms() {
    if (netWmIcon && netWmPid && netClientList && netWmDesktop && netWmName && utf8String)
        return true;
    const char* const names[] = {"_NET_WM_ICON",    "_NET_WM_PID",  "_NET_CLIENT_LIST",
                                 "_NET_WM_DESKTOP", "_NET_WM_NAME", "UTF8_STRING"};
    quint32* const atoms[] = {&netWmIcon, &netWmPid, &netClientList, &netWmDesktop, &netWmName, &utf8String};
    constexpr int count = 6;
    xcb_intern_atom_cookie_t cookies[count];
    // Only atoms the server knows already: a window manager that sets these
    // properties has created them.
    for (int i = 0; i < count; ++i)
        cookies[i] = xcb_intern_atom(connection, 1, quint16(std::strlen(names[i])), names[i]);
    for (int i = 0; i < count; ++i) {
        xcb_generic_error_t* error = nullptr;
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], &error);
        std::free(error);
        *atoms[i] = reply ? reply->atom : 0;
        std::free(reply);
    }
    if (!netWmIcon)
        qCDebug(lcX11Windows) << "Failed to fetch _NET_WM_ICON atom";
    return netWmIcon && netWmPid && netClientList && netWmDesktop && netWmName && utf8String;
}

X11WindowReader::Snapshot X11WindowReader::read(const QVector<quint32>& windows) {
    Snapshot snapshot;
    snapshot.windows.resize(windows.size());
    if (!isAvailable())
        return snapshot;
    internAtoms();

    struct Cookies {
        xcb_get_property_cookie_t pid{}, windowClass{}, desktop{}, netName{}, name{};
        // Asked only of windows whose icons are kept.
        bool checksWatch = false;
        xcb_get_window_attributes_cookie_t watch{};
    };
    QVector<Cookies> cookies(windows.size());
    for (int i = 0; i < windows.size(); ++i) {
        if (windowIcons && windowIcons->keeps(windows[i])) {
            cookies[i].checksWatch = true;
            cookies[i].watch = xcb_get_window_attributes(connection, windows[i]);
        }
        if (netWmPid)
            cookies[i].pid = requestProperty(connection, windows[i], netWmPid, XCB_ATOM_CARDINAL, 1);
        // Instance and class names are short; 256 bytes leave room for both.
        cookies[i].windowClass =
            requestProperty(connection, windows[i], XCB_ATOM_WM_CLASS, XCB_GET_PROPERTY_TYPE_ANY, 64);
        if (netWmDesktop)
            cookies[i].desktop = requestProperty(connection, windows[i], netWmDesktop, XCB_ATOM_CARDINAL, 1);
        if (netWmName && utf8String)
            cookies[i].netName =
                requestProperty(connection, windows[i], netWmName, utf8String, maximumTitleValues);
        cookies[i].name = requestProperty(connection, windows[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY,
                                          maximumTitleValues);
    }
    xcb_get_property_cookie_t clientsCookie{};
    if (netClientList)
        clientsCookie = requestProperty(connection, root, netClientList, XCB_ATOM_WINDOW, 1 << 16);

    for (int i = 0; i < windows.size(); ++i) {
        WindowFacts& facts = snapshot.windows[i];
        if (cookies[i].checksWatch) {
            xcb_generic_error_t* error = nullptr;
            xcb_get_window_attributes_reply_t* reply =
                xcb_get_window_attributes_reply(connection, cookies[i].watch, &error);
            std::free(error);
            if (!reply || !(reply->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE))
                windowIcons->forget(windows[i]);
            std::free(reply);
        }
        if (netWmPid) {
            PropertyReply reply = takeReply(connection, cookies[i].pid);
            const auto [values, count] = values32(reply.get());
            if (count >= 1 && values[0] <= quint32(INT32_MAX))
                facts.pid = int(values[0]);
        }
        PropertyReply reply = takeReply(connection, cookies[i].windowClass);
        facts.windowClass = WindowProperties::instanceName(bytes8(reply.get()));
        if (netWmDesktop) {
            PropertyReply desktop = takeReply(connection, cookies[i].desktop);
            const auto [values, count] = values32(desktop.get());
            if (count >= 1)
                facts.desktop = values[0];
        }
        // Every reply is taken, whichever title is used.
        PropertyReply netName =
            netWmName && utf8String ? takeReply(connection, cookies[i].netName) : PropertyReply();
        PropertyReply name = takeReply(connection, cookies[i].name);
        if (netName && netName->type == utf8String)
            facts.title = WindowProperties::textValue(bytes8(netName.get()), true);
        else if (name && (name->type == XCB_ATOM_STRING || (utf8String && name->type == utf8String)))
            facts.title = WindowProperties::textValue(bytes8(name.get()), name->type != XCB_ATOM_STRING);
    }
    if (netClientList) {
        PropertyReply reply = takeReply(connection, clientsCookie);
        const auto [values, count] = values32(reply.get());
        snapshot.haveClientList = reply != nullptr;
        for (qsizetype i = 0; i < count; ++i)
            snapshot.clients.insert(values[i]);
    }
    return snapshot;
}

std::optional<int> X11WindowReader::countDesktopWindows(quint32 listRoot) {
    if (!isAvailable())
        return std::nullopt;
    internAtoms();
    if (!netClientList)
        return std::nullopt;
    PropertyReply clients = takeReply(connection, requestProperty(connection, listRoot ? listRoot : root,
                                                                  netClientList, XCB_ATOM_WINDOW, 1 << 16));
    if (!clients)
        return std::nullopt;
    const auto [windows, count] = values32(clients.get());
    if (!netWmDesktop)
        return int(count);
    QVector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(int(count));
    for (qsizetype i = 0; i < count; ++i)
        cookies.append(requestProperty(connection, windows[i], netWmDesktop, XCB_ATOM_CARDINAL, 1));
    int onADesktop = 0;
    for (const xcb_get_property_cookie_t& cookie : cookies) {
        PropertyReply reply = takeReply(connection, cookie);
        const auto [desktop, values] = values32(reply.get());
        // A window without the property is listed on desktop 0.
        if (values < 1 || desktop[0] != 0xFFFFFFFFu)
            ++onADesktop;
    }
    return onADesktop;
}

QVector<QImage> X11WindowReader::icons(const QVector<quint32>& windows, int side) {
    if (!isAvailable())
        return QVector<QImage>(windows.size());
    internAtoms();
    if (!netWmIcon)
        return QVector<QImage>(windows.size());
    if (!windowIcons)
        windowIcons = std::make_unique<X11WindowIcons>(connection, netWmIcon);
    return windowIcons->icons(windows, side);
}

X11WindowIcons::Counters X11WindowReader::iconCounters() const {
    return windowIcons ? windowIcons->counters() : X11WindowIcons::Counters();
}
