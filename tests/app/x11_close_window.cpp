// x11_close_window WINDOW_ID (as xdotool prints it) asks an X11 window to close as a
// window manager's close button does: a WM_DELETE_WINDOW message. The end-to-end test
// has no window manager, and xdotool can only destroy a window, which is no request.

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

int main(int argc, char* argv[])
{
    char* end = nullptr;
    const unsigned long window = argc == 2 ? std::strtoul(argv[1], &end, 0) : 0;
    if (window == 0 || *end != '\0') {
        std::fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = Atom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = Atom(connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_generic_error_t* error = xcb_connection_has_error(connection) != 0
        ? nullptr
        : xcb_request_check(connection,
                            xcb_send_event_checked(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                   reinterpret_cast<const char*>(&event)));
    const bool failed = xcb_connection_has_error(connection) != 0 || error != nullptr;
    std::free(error);
    xcb_disconnect(connection);
    return failed ? (std::fprintf(stderr, "could not send WM_DELETE_WINDOW to window %lu\n", window), 1) : 0;
}
