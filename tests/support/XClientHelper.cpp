// SPDX-License-Identifier: GPL-3.0-or-later
// A second X client for the X11 tests: it acts the way another application would.
// kelo-test-x-client grab <keycode> <modifier mask>
//     Grabs the key on the root window. Prints "grabbed" and holds the grab until standard input
//     closes, or prints "busy" and exits with status 2 when another client holds it.
// kelo-test-x-client state
//     Prints the current modifier and lock mask in decimal.
// kelo-test-x-client watch-activations
//     Prints "ready" once it watches the root window, then "activate <window id>" for every
//     _NET_ACTIVE_WINDOW request a client sends to the window manager, until standard input
//     closes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

struct Free
{
    void operator()(void *p) const { std::free(p); }
};

int grab(xcb_connection_t *connection, xcb_window_t root, long keycode, long modifiers)
{
    const xcb_void_cookie_t cookie =
        xcb_grab_key_checked(connection, 0, root, uint16_t(modifiers), xcb_keycode_t(keycode),
                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    if (std::unique_ptr<xcb_generic_error_t, Free> error{xcb_request_check(connection, cookie)}) {
        std::puts("busy");
        return 2;
    }
    std::puts("grabbed");
    std::fflush(stdout);
    char buffer[64];
    while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    }
    return 0;
}

int state(xcb_connection_t *connection, xcb_window_t root)
{
    std::unique_ptr<xcb_query_pointer_reply_t, Free> reply{
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr)};
    if (!reply) {
        return 1;
    }
    std::printf("%u\n", unsigned(reply->mask & 0xff));
    return 0;
}

int watchActivations(xcb_connection_t *connection, xcb_window_t root)
{
    const char name[] = "_NET_ACTIVE_WINDOW";
    std::unique_ptr<xcb_intern_atom_reply_t, Free> atom{xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr)};
    if (!atom) {
        return 1;
    }
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    const xcb_void_cookie_t cookie =
        xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask);
    if (std::unique_ptr<xcb_generic_error_t, Free> error{xcb_request_check(connection, cookie)}) {
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);

    pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (std::unique_ptr<xcb_generic_event_t, Free> event{xcb_poll_for_event(connection)}) {
            const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event.get());
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                message->type == atom->atom) {
                std::printf("activate %u\n", message->window);
                std::fflush(stdout);
            }
        }
        if (xcb_connection_has_error(connection) != 0 || poll(fds, 2, -1) < 0) {
            return 0;
        }
        char buffer[64];
        if (fds[1].revents != 0 && read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            return 0;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fputs("cannot connect to the X server\n", stderr);
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    int status = 1;
    if (argc == 4 && std::strcmp(argv[1], "grab") == 0) {
        status = grab(connection, root, std::strtol(argv[2], nullptr, 0),
                      std::strtol(argv[3], nullptr, 0));
    } else if (argc == 2 && std::strcmp(argv[1], "state") == 0) {
        status = state(connection, root);
    } else if (argc == 2 && std::strcmp(argv[1], "watch-activations") == 0) {
        status = watchActivations(connection, root);
    } else {
        std::fputs("usage: kelo-test-x-client grab <keycode> <modifiers> | state | "
                   "watch-activations\n",
                   stderr);
    }
    xcb_disconnect(connection);
    return status;
}
