// Maps count windows titled "<prefix> <n>", each with a _NET_WM_ICON of one
// side x side image, as any program of the user may; stays until it is
// killed. For scripts/measure-window-icons.
// Usage: iconwindows <count> <side> [prefix]
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: iconwindows <count> <side> [prefix]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const int side = std::atoi(argv[2]);
    const std::string prefix = argc > 3 ? argv[3] : "iconwindow";
    if (count < 1 || side < 1 || side > 1024) {
        std::fprintf(stderr, "iconwindows: count must be positive and side 1 to 1024\n");
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "iconwindows: cannot connect to the X display\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    xcb_screen_t* screen = screens.data;
    const char* iconName = "_NET_WM_ICON";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(iconName)), iconName), nullptr);
    if (!atom)
        return 1;

    // A diagonal gradient, so that scaling it has work to do.
    std::vector<uint32_t> icon{uint32_t(side), uint32_t(side)};
    icon.reserve(2 + size_t(side) * size_t(side));
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x)
            icon.push_back(0xFF000000u | uint32_t(x * 255 / side) << 16 | uint32_t(y * 255 / side) << 8 |
                           0x80u);
    }
    for (int i = 0; i < count; ++i) {
        const xcb_window_t window = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 20 + i % 40 * 10,
                          20 + i % 30 * 10, 200, 80, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0,
                          nullptr);
        const std::string title = prefix + " " + std::to_string(i);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            uint32_t(title.size()), title.data());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom->atom, XCB_ATOM_CARDINAL, 32,
                            uint32_t(icon.size()), icon.data());
        xcb_map_window(connection, window);
        // Keeps the requests of one window at a time in flight.
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    std::free(atom);
    std::printf("mapped %d windows with %dx%d icons\n", count, side, side);
    std::fflush(stdout);
    // Nothing is asked for: this returns when the connection ends.
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection))
        std::free(event);
    xcb_disconnect(connection);
    return 0;
}
