#pragma once

// Windows of a test's own making, on an X connection of their own, with
// properties set as other programs set them: straight, no toolkit between.
#include <QByteArray>
#include <QPair>
#include <QRgb>
#include <QSize>
#include <QVector>

#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

class RawXWindows {
public:
    // On the display DISPLAY names, or on display.
    explicit RawXWindows(const char* display = nullptr) : connection(xcb_connect(display, nullptr)) {
        if (!xcb_connection_has_error(connection))
            screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    }
    ~RawXWindows() { xcb_disconnect(connection); }
    RawXWindows(const RawXWindows&) = delete;
    RawXWindows& operator=(const RawXWindows&) = delete;

    xcb_connection_t* raw() const { return connection; }

    bool isConnected() const { return screen != nullptr && !xcb_connection_has_error(connection); }

    // Mapped windows are managed (and listed) by the window manager.
    quint32 create(bool mapped) {
        const quint32 window = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 120, 60, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        if (mapped)
            xcb_map_window(connection, window);
        return window;
    }

    void destroy(quint32 window) { xcb_destroy_window(connection, window); }

    // Mapped without taking the focus from the windows of tests running
    // beside, where it was made and undecorated, so that the window manager
    // need not place or frame it: a thousand are managed in seconds.
    quint32 createUnfocused() {
        if (!userTimeAtom) {
            userTimeAtom = atom("_NET_WM_USER_TIME");
            motifHintsAtom = atom("_MOTIF_WM_HINTS");
        }
        const quint32 window = create(false);
        const quint32 userTime = 0;
        set(window, userTimeAtom, XCB_ATOM_CARDINAL, 32, &userTime, 1);
        quint32 sizeHints[18] = {1 | 4}; // USPosition, PPosition
        set(window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, sizeHints, 18);
        const quint32 noDecorations[5] = {2, 0, 0, 0, 0};
        set(window, motifHintsAtom, motifHintsAtom, 32, noDecorations, 5);
        xcb_map_window(connection, window);
        return window;
    }

    quint32 atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, quint16(std::strlen(name)), name), nullptr);
        const quint32 atom = reply ? reply->atom : 0;
        std::free(reply);
        return atom;
    }

    // count is in units of format bits.
    void set(quint32 window, quint32 property, quint32 type, int format, const void* data, quint32 count) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, quint8(format), count,
                            data);
    }
    void setText(quint32 window, quint32 property, quint32 type, const QByteArray& text) {
        set(window, property, type, 8, text.constData(), quint32(text.size()));
    }

    // _NET_WM_ICON holding one image of each size, each filled with its colour.
    void setIcon(quint32 window, const QVector<QPair<QSize, QRgb>>& images) {
        std::vector<quint32> values;
        for (const auto& [size, colour] : images) {
            values.insert(values.end(), {quint32(size.width()), quint32(size.height())});
            values.insert(values.end(), size_t(size.width()) * size_t(size.height()), colour);
        }
        set(window, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32, values.data(), quint32(values.size()));
    }

    // Returns once the X server has done everything asked so far.
    void sync() {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

    // The window manager's list of the windows it manages.
    QVector<quint32> clientList() {
        xcb_get_property_reply_t* reply =
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, screen->root, atom("_NET_CLIENT_LIST"),
                                                    XCB_ATOM_WINDOW, 0, 1 << 16),
                                   nullptr);
        const auto* windows = reply ? static_cast<const quint32*>(xcb_get_property_value(reply)) : nullptr;
        const QVector<quint32> list(windows,
                                    windows + (reply ? xcb_get_property_value_length(reply) / 4 : 0));
        std::free(reply);
        return list;
    }

    bool exists(quint32 window) {
        xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, window), nullptr);
        const bool found = reply != nullptr;
        std::free(reply);
        return found;
    }

private:
    xcb_connection_t* connection;
    xcb_screen_t* screen = nullptr;
    quint32 userTimeAtom = 0;
    quint32 motifHintsAtom = 0;
};
