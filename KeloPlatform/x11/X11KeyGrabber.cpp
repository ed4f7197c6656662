// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/KeyGrabber.h"
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <vector>
#include <xcb/xcb.h>

namespace KeloPlatform {
namespace {

using detail::ReplyPtr;

constexpr xcb_keysym_t numLockKeysym = 0xff7f;
constexpr uint16_t modifierBits = 0xff;

// Num Lock is an ordinary modifier bit, assigned by the modifier mapping (usually Mod2, but
// nothing guarantees it): find the bit whose keys include a Num_Lock key. 0 when none does.
uint16_t numLockMask(xcb_connection_t *connection)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const xcb_keycode_t minKeycode = setup->min_keycode;
    const int keycodeCount = int(setup->max_keycode) - int(minKeycode) + 1;
    const auto keyboardCookie = xcb_get_keyboard_mapping(connection, minKeycode, keycodeCount);
    const auto modifierCookie = xcb_get_modifier_mapping(connection);
    ReplyPtr<xcb_get_keyboard_mapping_reply_t> keyboard(
        xcb_get_keyboard_mapping_reply(connection, keyboardCookie, nullptr));
    ReplyPtr<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection, modifierCookie, nullptr));
    if (!keyboard || !modifiers) {
        return 0;
    }
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
    const int keysymCount = xcb_get_keyboard_mapping_keysyms_length(keyboard.get());
    const int perKeycode = keyboard->keysyms_per_keycode;
    const auto isNumLock = [&](xcb_keycode_t keycode) {
        if (keycode < minKeycode) {
            return false;
        }
        const int first = (keycode - minKeycode) * perKeycode;
        for (int i = first; i < first + perKeycode && i < keysymCount; ++i) {
            if (keysyms[i] == numLockKeysym) {
                return true;
            }
        }
        return false;
    };
    const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int keycodeTotal = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
    const int perModifier = modifiers->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = modifier * perModifier; i < (modifier + 1) * perModifier && i < keycodeTotal;
             ++i) {
            if (keycodes[i] != 0 && isNumLock(keycodes[i])) {
                return uint16_t(1u << modifier);
            }
        }
    }
    return 0;
}

uint16_t modifierMask(const KeyChord &chord)
{
    uint16_t mask = 0;
    if (chord.hasShift) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if (chord.hasControl) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (chord.hasAlt) {
        mask |= XCB_MOD_MASK_1;
    }
    if (chord.hasSuper) {
        mask |= XCB_MOD_MASK_4;
    }
    return mask;
}

struct Grab
{
    xcb_keycode_t keycode = 0;
    uint16_t modifiers = 0;
    uint16_t lockMask = 0;
    std::vector<uint16_t> lockVariants;
};

class X11KeyGrabber final : public KeyGrabber, public QAbstractNativeEventFilter
{
public:
    X11KeyGrabber() { QCoreApplication::instance()->installNativeEventFilter(this); }

    ~X11KeyGrabber() override
    {
        while (!m_grabs.empty()) {
            release(m_grabs.begin()->first);
        }
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(this);
        }
    }

    bool grab(uint32_t id, const KeyChord &chord) override
    {
        xcb_connection_t *connection = detail::qtXcbConnection();
        const xcb_window_t root = detail::rootWindow(connection);
        if (root == 0 || m_grabs.count(id) != 0) {
            return false;
        }
        const xcb_setup_t *setup = xcb_get_setup(connection);
        const uint32_t keycode = chord.evdevCode + xKeycodeOffset;
        if (keycode < setup->min_keycode || keycode > setup->max_keycode) {
            return false;
        }
        Grab grab;
        grab.keycode = xcb_keycode_t(keycode);
        grab.modifiers = modifierMask(chord);
        // The server holds one grab per client and chord; a second one here would be silently
        // merged with the first and lost when either is released.
        for (const auto &[otherId, other] : m_grabs) {
            if (other.keycode == grab.keycode && other.modifiers == grab.modifiers) {
                return false;
            }
        }
        // A grab matches only the exact modifier state, so Caps Lock or Num Lock being on would
        // hide the chord: take it with every combination of the two.
        const uint16_t numLock = numLockMask(connection);
        grab.lockMask = XCB_MOD_MASK_LOCK | numLock;
        for (uint16_t variant : {uint16_t(0), uint16_t(XCB_MOD_MASK_LOCK), numLock,
                                 uint16_t(numLock | XCB_MOD_MASK_LOCK)}) {
            if ((variant & grab.modifiers) == 0 &&
                std::find(grab.lockVariants.begin(), grab.lockVariants.end(), variant) ==
                    grab.lockVariants.end()) {
                grab.lockVariants.push_back(variant);
            }
        }

        std::vector<xcb_void_cookie_t> cookies;
        for (uint16_t variant : grab.lockVariants) {
            cookies.push_back(xcb_grab_key_checked(connection, 0, root, grab.modifiers | variant,
                                                   grab.keycode, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
        }
        // Every variant must be ours: a BadAccess on any means another client holds the chord.
        std::vector<uint16_t> taken;
        bool isComplete = true;
        for (size_t i = 0; i < cookies.size(); ++i) {
            if (xcb_generic_error_t *error = xcb_request_check(connection, cookies[i])) {
                std::free(error);
                isComplete = false;
            } else {
                taken.push_back(grab.lockVariants[i]);
            }
        }
        if (!isComplete) {
            ungrab(connection, root, grab.keycode, grab.modifiers, taken);
            return false;
        }
        m_grabs.emplace(id, std::move(grab));
        return true;
    }

    void release(uint32_t id) override
    {
        const auto found = m_grabs.find(id);
        if (found == m_grabs.end()) {
            return;
        }
        const Grab grab = std::move(found->second);
        m_grabs.erase(found);
        // The key's held state stays: a handler that re-registers its own shortcut releases and
        // grabs the same key while it is still held, and the server's auto-repeat presses must
        // not count as new presses then. The press's grab stays active until the key goes up,
        // so that release still reaches this client.
        xcb_connection_t *connection = detail::qtXcbConnection();
        if (connection != nullptr) {
            ungrab(connection, detail::rootWindow(connection), grab.keycode, grab.modifiers,
                   grab.lockVariants);
        }
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if ((m_grabs.empty() && m_heldKeys.empty()) || eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t kind = event->response_type & 0x7f;
        if (kind == XCB_KEY_RELEASE) {
            const auto *release = reinterpret_cast<const xcb_key_release_event_t *>(event);
            const auto held = m_heldKeys.find(release->detail);
            if (held != m_heldKeys.end()) {
                held->second.isDown = false;
                held->second.releasedAt = release->time;
            }
            return false;
        }
        if (kind != XCB_KEY_PRESS) {
            return false;
        }
        const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
        for (const auto &[id, grab] : m_grabs) {
            if (grab.keycode != press->detail ||
                (press->state & modifierBits & ~grab.lockMask) != grab.modifiers) {
                continue;
            }
            // Holding the chord is one press. The server repeats a held key either as presses
            // alone (detectable auto-repeat) or as a release and a press with the same time.
            KeyState &held = m_heldKeys[press->detail];
            const bool isRepeat = held.isDown || held.releasedAt == press->time;
            held = KeyState{true, std::nullopt};
            if (isRepeat) {
                return true;
            }
            const uint32_t pressedId = id;
            if (onPressed) {
                onPressed(pressedId);
            }
            return true;
        }
        return false;
    }

private:
    static void ungrab(xcb_connection_t *connection, xcb_window_t root, xcb_keycode_t keycode,
                       uint16_t modifiers, const std::vector<uint16_t> &variants)
    {
        if (root == 0 || variants.empty()) {
            return;
        }
        xcb_void_cookie_t last{};
        for (uint16_t variant : variants) {
            last = xcb_ungrab_key_checked(connection, keycode, root, modifiers | variant);
        }
        // Wait for the server, so another client may take the chord as soon as this returns.
        if (xcb_generic_error_t *error = xcb_request_check(connection, last)) {
            std::free(error);
        }
    }

    std::map<uint32_t, Grab> m_grabs;
    struct KeyState
    {
        bool isDown = false;
        std::optional<xcb_timestamp_t> releasedAt;
    };
    std::map<xcb_keycode_t, KeyState> m_heldKeys;
};

} // namespace

std::unique_ptr<KeyGrabber> createX11KeyGrabber()
{
    return std::make_unique<X11KeyGrabber>();
}

} // namespace KeloPlatform
