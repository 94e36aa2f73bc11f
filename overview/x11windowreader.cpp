#include "x11windowreader.h"

#include "windowproperties.h"
#include "x11replies.h"

#include <QLoggingCategory>

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

Q_LOGGING_CATEGORY(lcX11Windows, "tessmar.applications.x11", QtWarningMsg)

using namespace X11Replies;

namespace {

// Titles are read up to this many 32-bit units (4 KB), as wmctrl reads them;
// only their first line is shown.
constexpr quint32 maximumTitleValues = 1024;

// Windows asked about before the first answer is awaited: the answers of a
// batch (a title of 4 KB each at most) wait in memory until they are read.
constexpr int windowsPerBatch = 1024;

} // namespace

X11WindowReader::X11WindowReader(Display* openDisplay, quint32 rootWindow)
    : display(openDisplay), connection(openDisplay ? XGetXCBConnection(openDisplay) : nullptr),
      root(rootWindow) {}

X11WindowReader::~X11WindowReader() {
    // Its notifier watches the connection's socket.
    windowIcons.reset();
    if (display)
        XCloseDisplay(display);
}

std::unique_ptr<X11WindowReader> X11WindowReader::withOwnConnection() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        qCDebug(lcX11Windows) << "Cannot connect to the X display";
        return std::unique_ptr<X11WindowReader>(new X11WindowReader(nullptr, 0));
    }
    // Events are taken through XCB (X11WindowIcons); Xlib only converts text.
    XSetEventQueueOwner(display, XCBOwnsEventQueue);
    const quint32 root = quint32(RootWindow(display, DefaultScreen(display)));
    return std::unique_ptr<X11WindowReader>(new X11WindowReader(display, root));
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

std::optional<QVector<quint32>> X11WindowReader::clientList(quint32 listRoot) {
    if (!isAvailable())
        return std::nullopt;
    internAtoms();
    if (!netClientList)
        return std::nullopt;
    PropertyReply reply =
        takeReply(connection, requestProperty(connection, listRoot ? listRoot : root, netClientList,
                                              XCB_ATOM_WINDOW, maximumClients));
    if (!reply)
        return std::nullopt;
    const auto [values, count] = values32(reply.get());
    if (reply->bytes_after > 0)
        qCDebug(lcX11Windows) << "The window manager lists more than" << maximumClients << "windows";
    return QVector<quint32>(values, values + count);
}

QVector<X11WindowReader::WindowFacts> X11WindowReader::read(const QVector<quint32>& windows) {
    QVector<WindowFacts> facts(windows.size());
    if (!isAvailable())
        return facts;
    internAtoms();
    for (int first = 0; first < windows.size(); first += windowsPerBatch)
        readBatch(windows.constData() + first, qMin(windowsPerBatch, windows.size() - first),
                  facts.data() + first);
    return facts;
}

void X11WindowReader::readBatch(const quint32* windows, int count, WindowFacts* facts) {
    struct Cookies {
        xcb_get_property_cookie_t pid{}, windowClass{}, desktop{}, netName{}, name{};
        // Asked only of windows whose icons are kept.
        bool checksWatch = false;
        xcb_get_window_attributes_cookie_t watch{};
    };
    QVector<Cookies> cookies(count);
    for (int i = 0; i < count; ++i) {
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

    for (int i = 0; i < count; ++i) {
        WindowFacts& window = facts[i];
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
            const auto [values, valueCount] = values32(reply.get());
            if (valueCount >= 1 && values[0] <= quint32(INT32_MAX))
                window.pid = int(values[0]);
        }
        // Asked of every window: a window that has gone answers it with an error.
        bool gone = false;
        PropertyReply reply = takeReply(connection, cookies[i].windowClass, &gone);
        window.gone = gone;
        window.windowClass = WindowProperties::instanceName(bytes8(reply.get()));
        if (netWmDesktop) {
            PropertyReply desktop = takeReply(connection, cookies[i].desktop);
            const auto [values, valueCount] = values32(desktop.get());
            if (valueCount >= 1)
                window.desktop = values[0];
        }
        // Every reply is taken, whichever title is used.
        PropertyReply netName =
            netWmName && utf8String ? takeReply(connection, cookies[i].netName) : PropertyReply();
        PropertyReply name = takeReply(connection, cookies[i].name);
        window.title = titleOf(netName.get(), name.get());
    }
}

QString X11WindowReader::titleOf(xcb_get_property_reply_t* netName, xcb_get_property_reply_t* name) {
    // A title longer than was read is cut, maybe inside a letter.
    if (netName && netName->type == utf8String && netName->format == 8)
        return WindowProperties::textValue(bytes8(netName), true, netName->bytes_after > 0);
    if (!name || name->format != 8)
        return QString();
    if (name->type == XCB_ATOM_STRING || name->type == utf8String)
        return WindowProperties::textValue(bytes8(name), name->type == utf8String, name->bytes_after > 0);
    // COMPOUND_TEXT, which older toolkits write, or the writer's locale encoding.
    return convertedText(name);
}

QString X11WindowReader::convertedText(xcb_get_property_reply_t* reply) {
    XTextProperty property;
    property.value = static_cast<unsigned char*>(xcb_get_property_value(reply));
    property.encoding = reply->type;
    property.format = 8;
    property.nitems = static_cast<unsigned long>(xcb_get_property_value_length(reply));
    char** list = nullptr;
    int count = 0;
    // Positive: that many characters had no equivalent (or were cut off) and
    // are left out; negative: no conversion from this type.
    const int result = Xutf8TextPropertyToTextList(display, &property, &list, &count);
    QString text;
    if (result >= 0 && list && count > 0)
        text = WindowProperties::textValue(QByteArray(list[0]), true);
    else
        qCDebug(lcX11Windows) << "No conversion for a title of type" << reply->type << result;
    if (list)
        XFreeStringList(list);
    return text;
}

std::optional<int> X11WindowReader::countDesktopWindows(quint32 listRoot) {
    if (!isAvailable())
        return std::nullopt;
    internAtoms();
    const std::optional<QVector<quint32>> windows = clientList(listRoot);
    if (!windows)
        return std::nullopt;
    const int count = windows->size();
    if (!netWmDesktop)
        return count;
    QVector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(count);
    for (quint32 window : *windows)
        cookies.append(requestProperty(connection, window, netWmDesktop, XCB_ATOM_CARDINAL, 1));
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
