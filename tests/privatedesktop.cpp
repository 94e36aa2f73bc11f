#include "privatedesktop.h"

#include "testsupport.h"

#include <QProcessEnvironment>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

// Whether the window manager lists a window mapped just now: it has started
// and manages new windows (it says it runs some time before it does).
bool windowManagerManages(const QByteArray& display) {
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const char name[] = "_NET_CLIENT_LIST";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(std::strlen(name)), name), nullptr);
    const xcb_atom_t clientList = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    const xcb_window_t probe = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection, probe);
    const bool listed = TestSupport::waitFor(
        [&] {
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                connection,
                xcb_get_property(connection, 0, screen->root, clientList, XCB_ATOM_WINDOW, 0, 4096), nullptr);
            const auto* windows =
                reply ? static_cast<const xcb_window_t*>(xcb_get_property_value(reply)) : nullptr;
            const int count = reply ? xcb_get_property_value_length(reply) / 4 : 0;
            const bool found = std::find(windows, windows + count, probe) != windows + count;
            std::free(reply);
            return found;
        },
        1000);
    xcb_disconnect(connection);
    return listed;
}

} // namespace

PrivateDesktop::PrivateDesktop() {
    ready = start();
}

bool PrivateDesktop::start() {
    // Xvfb takes a free display number itself and writes it once it listens.
    // What either says besides is not read: unread, it would fill the pipe
    // and stop the writer.
    server.setStandardErrorFile(QProcess::nullDevice());
    windowManager.setStandardOutputFile(QProcess::nullDevice());
    windowManager.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    if (!TestSupport::waitFor([this] { return server.canReadLine(); }))
        return false;
    displayName = ':' + server.readLine().trimmed();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(displayName));
    windowManager.setProcessEnvironment(environment);
    windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    return TestSupport::waitFor([this] { return windowManagerManages(displayName); });
}

PrivateDesktop::~PrivateDesktop() {
    for (QProcess* process : {&windowManager, &server}) {
        process->kill();
        process->waitForFinished(5000);
    }
}

DisplayOverride::DisplayOverride(const QByteArray& display) : saved(qgetenv("DISPLAY")) {
    qputenv("DISPLAY", display);
}

DisplayOverride::~DisplayOverride() {
    qputenv("DISPLAY", saved);
}
