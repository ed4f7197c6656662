// kelo-test-activation-spy
//     Watches the root window and prints "activate <window id>" for every _NET_ACTIVE_WINDOW
//     request a client sends to the window manager. Prints "ready" once it watches; quits when
//     standard input closes.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

int main()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fputs("cannot connect to the X server\n", stderr);
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const char name[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    if (atom == nullptr)
        return 1;
    const xcb_atom_t activeWindow = atom->atom;
    std::free(atom);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t cookie =
        xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask);
    if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
        std::free(error);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);

    pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
                if (message->type == activeWindow) {
                    std::printf("activate %u\n", message->window);
                    std::fflush(stdout);
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection) != 0)
            break;
        if (poll(fds, 2, -1) < 0)
            break;
        if (fds[1].revents != 0) {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                break;
        }
    }
    xcb_disconnect(connection);
    return 0;
}
