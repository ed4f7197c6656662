// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"

#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace KeloPlatform {
namespace {

using detail::ReplyPtr;

// Rows of the core modifier mapping.
constexpr int lockRow = 1;
constexpr int controlRow = 2;
// Left Control under the evdev keymap every current X server uses.
constexpr xcb_keycode_t fallbackControlKeycode = 29 + xKeycodeOffset;

void fake(xcb_connection_t *connection, uint8_t type, xcb_keycode_t keycode)
{
    xcb_test_fake_input(connection, type, keycode, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

class X11SyntheticKeys final : public SyntheticKeys
{
public:
    [[nodiscard]] bool isAvailable() const override;
    bool sendWithControl(uint32_t evdevCode) override;
};

} // namespace

bool X11SyntheticKeys::isAvailable() const
{
    xcb_connection_t *connection = detail::qtXcbConnection();
    if (connection == nullptr) {
        return false;
    }
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_test_id);
    return extension != nullptr && extension->present != 0;
}

bool X11SyntheticKeys::sendWithControl(uint32_t evdevCode)
{
    if (!isAvailable() || evdevCode + xKeycodeOffset > 255) {
        return false;
    }
    xcb_connection_t *connection = detail::qtXcbConnection();
    const auto keycode = xcb_keycode_t(evdevCode + xKeycodeOffset);

    const auto modifiersCookie = xcb_get_modifier_mapping(connection);
    const auto keymapCookie = xcb_query_keymap(connection);
    ReplyPtr<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection, modifiersCookie, nullptr));
    ReplyPtr<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(connection, keymapCookie, nullptr));
    const auto isDown = [&](xcb_keycode_t key) {
        return keymap && (keymap->keys[key / 8] & (1u << (key % 8))) != 0;
    };

    // Release every modifier key still held but Control; the lock keys toggle on their own
    // presses and are left alone. They stay released afterwards: pressing them again could leave
    // one stuck down if the user let go meanwhile.
    xcb_keycode_t controlKeycode = 0;
    bool isControlHeld = false;
    if (modifiers) {
        const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
        const int total = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
        const int perRow = modifiers->keycodes_per_modifier;
        for (int i = 0; i < total; ++i) {
            const xcb_keycode_t key = keycodes[i];
            const int row = perRow > 0 ? i / perRow : 0;
            if (key == 0 || row == lockRow) {
                continue;
            }
            if (row == controlRow) {
                if (controlKeycode == 0) {
                    controlKeycode = key;
                }
                isControlHeld = isControlHeld || isDown(key);
            } else if (isDown(key)) {
                fake(connection, XCB_KEY_RELEASE, key);
            }
        }
    }
    if (controlKeycode == 0) {
        controlKeycode = fallbackControlKeycode;
    }

    if (!isControlHeld) {
        fake(connection, XCB_KEY_PRESS, controlKeycode);
    }
    fake(connection, XCB_KEY_PRESS, keycode);
    fake(connection, XCB_KEY_RELEASE, keycode);
    if (!isControlHeld) {
        fake(connection, XCB_KEY_RELEASE, controlKeycode);
    }
    xcb_flush(connection);
    return true;
}

std::unique_ptr<SyntheticKeys> createX11SyntheticKeys()
{
    return std::make_unique<X11SyntheticKeys>();
}

} // namespace KeloPlatform
