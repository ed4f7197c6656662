// kelo-test-x-client grab <keycode> <modifier mask>
//     Grabs the key on the root window. Prints "grabbed" and holds the grab until standard input
//     closes, or prints "busy" and exits with status 2 when another client holds it.
// kelo-test-x-client state
//     Prints the current modifier and lock mask in decimal.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

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
    } else {
        std::fputs("usage: kelo-test-x-client grab <keycode> <modifiers> | state\n", stderr);
    }
    xcb_disconnect(connection);
    return status;
}
