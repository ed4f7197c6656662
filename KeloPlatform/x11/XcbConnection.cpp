// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/x11/XcbConnection.h"

#include <QGuiApplication>

#include <cstring>

namespace KeloPlatform::detail {

xcb_connection_t *qtXcbConnection()
{
    if (qGuiApp == nullptr) {
        return nullptr;
    }
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return nullptr;
    }
    xcb_connection_t *connection = x11->connection();
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        return nullptr;
    }
    return connection;
}

xcb_screen_t *firstScreen(xcb_connection_t *connection)
{
    if (connection == nullptr) {
        return nullptr;
    }
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data : nullptr;
}

uint32_t rootWindow(xcb_connection_t *connection)
{
    const xcb_screen_t *screen = firstScreen(connection);
    return screen != nullptr ? screen->root : 0;
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace KeloPlatform::detail
