// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/WindowSystem.h"
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"

#include <QByteArray>
#include <QList>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace KeloPlatform {
namespace {

using detail::ReplyPtr;

// The pager source tells the window manager a user asked for the switch, so focus-stealing
// prevention lets it through: the user did ask, by pressing paste.
constexpr uint32_t sourceIndicationPager = 2;

// A single 32-bit value of a window property, absent when the property is missing or malformed.
std::optional<uint32_t> cardinalProperty(xcb_connection_t *connection, xcb_window_t window,
                                         xcb_atom_t property, xcb_atom_t type)
{
    if (property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    // The window may be gone by now: take the error here rather than leave it to Qt's event
    // loop, which would log it.
    xcb_generic_error_t *error = nullptr;
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1), &error));
    std::free(error);
    if (!reply || reply->type != type || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    uint32_t value = 0;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

// The window's WM_CLASS: two strings, each ended by a NUL byte (a missing last NUL is tolerated).
std::optional<WindowClass> classProperty(xcb_connection_t *connection, xcb_window_t window)
{
    xcb_generic_error_t *error = nullptr;
    // 1024 bytes, in 32-bit units, is far more than any class name needs.
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        &error));
    std::free(error);
    if (!reply || reply->type != XCB_ATOM_STRING || reply->format != 8) {
        return std::nullopt;
    }
    const int length = xcb_get_property_value_length(reply.get());
    const auto *bytes = static_cast<const char *>(xcb_get_property_value(reply.get()));
    const QList<QByteArray> names = QByteArray(bytes, length).split('\0');
    if (names.isEmpty() || (names.value(0).isEmpty() && names.value(1).isEmpty())) {
        return std::nullopt;
    }
    return WindowClass{QString::fromLatin1(names.value(0)), QString::fromLatin1(names.value(1))};
}

class X11WindowSystem final : public WindowSystem
{
public:
    std::optional<RunningApplication> frontmostApplication() const override
    {
        xcb_connection_t *connection = detail::qtXcbConnection();
        const xcb_window_t root = detail::rootWindow(connection);
        if (root == 0) {
            return std::nullopt;
        }
        const auto window =
            cardinalProperty(connection, root, detail::internAtom(connection, "_NET_ACTIVE_WINDOW"),
                             XCB_ATOM_WINDOW);
        if (!window || *window == XCB_WINDOW_NONE) {
            return std::nullopt;
        }
        RunningApplication application;
        application.windowId = *window;
        if (const auto pid =
                cardinalProperty(connection, *window, detail::internAtom(connection, "_NET_WM_PID"),
                                 XCB_ATOM_CARDINAL);
            pid && *pid != 0) {
            application.processId = qint64(*pid);
        }
        return application;
    }

    bool activate(const RunningApplication &application) override
    {
        xcb_connection_t *connection = detail::qtXcbConnection();
        const xcb_window_t root = detail::rootWindow(connection);
        if (root == 0 || application.windowId == XCB_WINDOW_NONE) {
            return false;
        }
        // A window that has gone away (its application quit) cannot be brought forward.
        xcb_generic_error_t *error = nullptr;
        ReplyPtr<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, application.windowId), &error));
        std::free(error);
        const xcb_atom_t activeWindow = detail::internAtom(connection, "_NET_ACTIVE_WINDOW");
        if (!attributes || activeWindow == XCB_ATOM_NONE) {
            return false;
        }

        xcb_client_message_event_t message;
        std::memset(&message, 0, sizeof message);
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = application.windowId;
        message.type = activeWindow;
        message.data.data32[0] = sourceIndicationPager;
        message.data.data32[1] = XCB_CURRENT_TIME;
        message.data.data32[2] = XCB_WINDOW_NONE;
        xcb_send_event(connection, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char *>(&message));
        xcb_flush(connection);
        return true;
    }

    std::optional<WindowClass> windowClass(const RunningApplication &application) const override
    {
        if (application.windowId == XCB_WINDOW_NONE) {
            return std::nullopt;
        }
        return classProperty(detail::qtXcbConnection(), application.windowId);
    }

    bool isCompositing() const override
    {
        xcb_connection_t *connection = detail::qtXcbConnection();
        const xcb_screen_t *screen = detail::firstScreen(connection);
        if (screen == nullptr || !hasArgbVisual(screen)) {
            return false;
        }
        // A compositing manager announces itself by owning this selection for its screen.
        const xcb_atom_t selection = detail::internAtom(connection, "_NET_WM_CM_S0");
        if (selection == XCB_ATOM_NONE) {
            return false;
        }
        ReplyPtr<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, selection), nullptr));
        return owner && owner->owner != XCB_WINDOW_NONE;
    }

    void setInputRegion(uint32_t windowId, const QRect &region) override
    {
        setX11InputRegion(windowId, region);
    }

private:
    static bool hasArgbVisual(const xcb_screen_t *screen)
    {
        for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
             xcb_depth_next(&depths)) {
            if (depths.data->depth != 32) {
                continue;
            }
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
                 xcb_visualtype_next(&visuals)) {
                if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                    return true;
                }
            }
        }
        return false;
    }
};

} // namespace

void setX11InputRegion(uint32_t window, const QRect &region)
{
    xcb_connection_t *connection = detail::qtXcbConnection();
    if (connection == nullptr || window == XCB_WINDOW_NONE) {
        return;
    }
    const xcb_query_extension_reply_t *shape = xcb_get_extension_data(connection, &xcb_shape_id);
    if (shape == nullptr || shape->present == 0) {
        return;
    }
    const xcb_rectangle_t rectangle{int16_t(region.x()), int16_t(region.y()),
                                    uint16_t(region.width()), uint16_t(region.height())};
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                         XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 1, &rectangle);
    xcb_flush(connection);
}

std::unique_ptr<WindowSystem> createX11WindowSystem()
{
    return std::make_unique<X11WindowSystem>();
}

} // namespace KeloPlatform
