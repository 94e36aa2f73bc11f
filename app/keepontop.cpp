// Keep On Top: an EWMH _NET_WM_STATE request sent to the root window over a
// short-lived Xlib connection of our own. Kept apart from the rest of the
// window because the Xlib headers define macros that clash with Qt's.
#include "mainwindow.h"

#include <QDebug>

#include <X11/Xlib.h>

namespace {
constexpr long netWmStateRemove = 0;
constexpr long netWmStateAdd = 1;
} // namespace

bool MainWindow::setKeepOnTop(bool on) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        qWarning() << "Keep On Top: cannot open the X display";
        return false;
    }
    const Window window = static_cast<Window>(winId());
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? netWmStateAdd : netWmStateRemove;
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 0;
    event.xclient.data.l[4] = 0;
    const Status sent = XSendEvent(display, DefaultRootWindow(display), False,
                                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XCloseDisplay(display);
    if (!sent) {
        qWarning() << "Keep On Top: the request could not be sent";
        return false;
    }
    return true;
}
