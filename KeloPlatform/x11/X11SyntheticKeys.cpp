// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"

#include <cstdlib>
#include <iterator>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace KeloPlatform {
namespace {

using detail::ReplyPtr;

// Rows of the core modifier mapping.
constexpr int shiftRow = 0;
constexpr int lockRow = 1;
constexpr int controlRow = 2;
// Left Shift and left Control under the evdev keymap every current X server uses.
constexpr xcb_keycode_t fallbackShiftKeycode = 42 + xKeycodeOffset;
constexpr xcb_keycode_t fallbackControlKeycode = 29 + xKeycodeOffset;

void fake(xcb_connection_t *connection, uint8_t type, xcb_keycode_t keycode)
{
    xcb_test_fake_input(connection, type, keycode, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

// A modifier the chord needs: the key that gives it, and whether the user holds it already.
struct NeededModifier
{
    bool isNeeded = false;
    xcb_keycode_t keycode = 0;
    bool isHeld = false;
};

class X11SyntheticKeys final : public SyntheticKeys
{
public:
    [[nodiscard]] bool isAvailable() const override;
    // The X server has XTEST or not; nothing the user could allow changes that.
    [[nodiscard]] bool isSupported() const override { return isAvailable(); }
    bool sendWithControl(uint32_t evdevCode) override;
    bool sendChord(const KeyChord &chord) override;
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
    KeyChord chord;
    chord.evdevCode = evdevCode;
    chord.hasControl = true;
    return sendChord(chord);
}

bool X11SyntheticKeys::sendChord(const KeyChord &chord)
{
    // Alt and Super sit on rows that differ between keymaps; pasting needs neither.
    if (!isAvailable() || chord.evdevCode + xKeycodeOffset > 255 || chord.hasAlt ||
        chord.hasSuper) {
        return false;
    }
    xcb_connection_t *connection = detail::qtXcbConnection();
    const auto keycode = xcb_keycode_t(chord.evdevCode + xKeycodeOffset);

    const auto modifiersCookie = xcb_get_modifier_mapping(connection);
    const auto keymapCookie = xcb_query_keymap(connection);
    ReplyPtr<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection, modifiersCookie, nullptr));
    ReplyPtr<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(connection, keymapCookie, nullptr));
    const auto isDown = [&](xcb_keycode_t key) {
        return keymap && (keymap->keys[key / 8] & (1u << (key % 8))) != 0;
    };

    NeededModifier shift{chord.hasShift};
    NeededModifier control{chord.hasControl};
    // Release every modifier key still held that the chord does not need; the lock keys toggle
    // on their own presses and are left alone. They stay released afterwards: pressing them
    // again could leave one stuck down if the user let go meanwhile.
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
            NeededModifier *needed =
                row == shiftRow ? &shift : (row == controlRow ? &control : nullptr);
            if (needed != nullptr && needed->isNeeded) {
                if (needed->keycode == 0) {
                    needed->keycode = key;
                }
                needed->isHeld = needed->isHeld || isDown(key);
            } else if (isDown(key)) {
                fake(connection, XCB_KEY_RELEASE, key);
            }
        }
    }
    if (shift.keycode == 0) {
        shift.keycode = fallbackShiftKeycode;
    }
    if (control.keycode == 0) {
        control.keycode = fallbackControlKeycode;
    }

    const NeededModifier *pressed[] = {&control, &shift};
    for (const NeededModifier *modifier : pressed) {
        if (modifier->isNeeded && !modifier->isHeld) {
            fake(connection, XCB_KEY_PRESS, modifier->keycode);
        }
    }
    fake(connection, XCB_KEY_PRESS, keycode);
    fake(connection, XCB_KEY_RELEASE, keycode);
    for (auto it = std::rbegin(pressed); it != std::rend(pressed); ++it) {
        if ((*it)->isNeeded && !(*it)->isHeld) {
            fake(connection, XCB_KEY_RELEASE, (*it)->keycode);
        }
    }
    xcb_flush(connection);
    return true;
}

std::unique_ptr<SyntheticKeys> createX11SyntheticKeys()
{
    return std::make_unique<X11SyntheticKeys>();
}

} // namespace KeloPlatform
