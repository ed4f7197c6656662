#pragma once

// Internal to KeloPlatform's X11 sources: the rest of the application never sees X11 types.

#include <cstdint>

struct xcb_connection_t;

namespace KeloPlatform::detail {

// Qt's own connection to the X server, or null when the application does not run on X11
// (Wayland, the offscreen platform, before QGuiApplication exists). Sharing Qt's connection keeps
// our requests ordered with Qt's and lets our grabs' events arrive through Qt's event loop.
[[nodiscard]] xcb_connection_t *qtXcbConnection();

// The root window of the connection's first screen, 0 without a connection.
[[nodiscard]] uint32_t rootWindow(xcb_connection_t *connection);

} // namespace KeloPlatform::detail
