// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Private to the X11 backend: the rest of the application never sees X11 types.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace KeloPlatform::detail {

// Qt's own connection to the X server, or null when the application does not run on X11
// (Wayland, the offscreen platform, before QGuiApplication exists). Sharing Qt's connection keeps
// our requests ordered with Qt's and lets our grabs' events arrive through Qt's event loop.
[[nodiscard]] xcb_connection_t *qtXcbConnection();

// The first screen of the connection and its root window (null and 0 without a connection).
[[nodiscard]] xcb_screen_t *firstScreen(xcb_connection_t *connection);
[[nodiscard]] uint32_t rootWindow(xcb_connection_t *connection);

// XCB replies are malloc'ed.
struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using ReplyPtr = std::unique_ptr<T, FreeReply>;

// The atom of that name, XCB_ATOM_NONE when the server does not answer.
[[nodiscard]] xcb_atom_t internAtom(xcb_connection_t *connection, const char *name);

} // namespace KeloPlatform::detail
