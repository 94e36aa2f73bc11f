#pragma once

// Small helpers for property requests on an XCB connection, shared by the
// readers of window properties.
#include <QByteArray>
#include <QtGlobal>

#include <cstdlib>
#include <memory>
#include <utility>
#include <xcb/xcb.h>

namespace X11Replies {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

// offset and length count 32-bit units, as the protocol does.
inline xcb_get_property_cookie_t requestProperty(xcb_connection_t* connection, quint32 window,
                                                 quint32 property, quint32 type, quint32 length,
                                                 quint32 offset = 0) {
    return xcb_get_property(connection, 0, window, property, type, offset, length);
}

// The answer, or null for an unknown window or a missing property. Errors
// are taken here rather than left for an event loop to report; windowGone,
// when given, says whether the window no longer exists.
inline PropertyReply takeReply(xcb_connection_t* connection, xcb_get_property_cookie_t cookie,
                               bool* windowGone = nullptr) {
    xcb_generic_error_t* error = nullptr;
    PropertyReply reply(xcb_get_property_reply(connection, cookie, &error));
    if (windowGone)
        *windowGone = error && error->error_code == XCB_WINDOW;
    std::free(error);
    if (reply && reply->type == XCB_ATOM_NONE)
        reply.reset();
    return reply;
}

// The property's 32-bit values as received; none unless it really is
// 32-bit data.
inline std::pair<const quint32*, qsizetype> values32(xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32)
        return {nullptr, 0};
    const int bytes = xcb_get_property_value_length(reply);
    return {static_cast<const quint32*>(xcb_get_property_value(reply)), bytes / 4};
}

inline QByteArray bytes8(xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 8)
        return QByteArray();
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                      xcb_get_property_value_length(reply));
}

} // namespace X11Replies
