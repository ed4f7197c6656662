#include "KeloPlatform/detail/XcbConnection.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

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

uint32_t rootWindow(xcb_connection_t *connection)
{
    if (connection == nullptr) {
        return 0;
    }
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data->root : 0;
}

} // namespace KeloPlatform::detail
