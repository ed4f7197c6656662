// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-test-input: a keyboard and a mouse for a compositor without input devices, through KWin's
// fake-input protocol (KWin admits the client by its desktop entry) or, elsewhere, a keyboard of
// the virtual keyboard protocol (wlroots) that stays plugged in while this runs, so that windows
// can take the keyboard focus. Prints "ready" once the compositor has it, then reads commands
// from standard input, one a line, and answers each with "done" (or "failed") once the
// compositor has the events:
//     keys ctrl+shift+2       presses the modifiers, the key, and lets go in reverse order
//     click X Y               moves the pointer there and clicks the left button (KWin only)
//     drag X1 Y1 X2 Y2        presses the left button at the first place, moves to the second
//                             in small steps and lets go there (KWin only)
// Key names are X key symbol names (Return, Escape, 2, v) found on a US layout.

#include "fake-input-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/input-event-codes.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

constexpr uint32_t xkbOffset = 8;

struct Globals
{
    org_kde_kwin_fake_input *input = nullptr;
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboards = nullptr;
};

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        globals->input = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat =
            static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        globals->keyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}

void onGlobalRemove(void *, wl_registry *, uint32_t) {}

const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

// The keyboard of whichever protocol the compositor offers.
struct Keyboard
{
    org_kde_kwin_fake_input *fake = nullptr;
    zwp_virtual_keyboard_v1 *virtualKeyboard = nullptr;
    xkb_keymap *keymap = nullptr;
    // The virtual keyboard's modifiers are the client's to tell.
    uint32_t modifiers = 0;

    void key(int code, bool isPressed, uint32_t modifier)
    {
        if (fake != nullptr) {
            org_kde_kwin_fake_input_keyboard_key(fake, uint32_t(code), isPressed ? 1 : 0);
            return;
        }
        zwp_virtual_keyboard_v1_key(virtualKeyboard, 0, uint32_t(code), isPressed ? 1 : 0);
        modifiers = isPressed ? modifiers | modifier : modifiers & ~modifier;
        zwp_virtual_keyboard_v1_modifiers(virtualKeyboard, modifiers, 0, 0, 0);
    }
};

// A modifier's evdev code and its mask on the keymap; code -1 for no modifier.
std::pair<int, uint32_t> modifier(xkb_keymap *keymap, const std::string &name)
{
    const auto mask = [keymap](const char *modifierName) {
        return uint32_t(1) << xkb_keymap_mod_get_index(keymap, modifierName);
    };
    if (name == "ctrl" || name == "control") {
        return {KEY_LEFTCTRL, mask(XKB_MOD_NAME_CTRL)};
    }
    if (name == "shift") {
        return {KEY_LEFTSHIFT, mask(XKB_MOD_NAME_SHIFT)};
    }
    if (name == "alt") {
        return {KEY_LEFTALT, mask(XKB_MOD_NAME_ALT)};
    }
    if (name == "super" || name == "logo") {
        return {KEY_LEFTMETA, mask(XKB_MOD_NAME_LOGO)};
    }
    return {-1, 0};
}

// The evdev code of the key that types the symbol on the first level, or on the shift level.
int keyCode(xkb_keymap *keymap, const std::string &name)
{
    const xkb_keysym_t wanted = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
    if (wanted == XKB_KEY_NoSymbol) {
        return -1;
    }
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
         code <= xkb_keymap_max_keycode(keymap); ++code) {
        for (xkb_level_index_t level = 0; level < 2; ++level) {
            const xkb_keysym_t *symbols = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &symbols);
            for (int i = 0; i < count; ++i) {
                if (symbols[i] == wanted) {
                    return int(code - xkbOffset);
                }
            }
        }
    }
    return -1;
}

bool pressKeys(Keyboard &keyboard, const std::string &chord)
{
    std::vector<std::pair<int, uint32_t>> keys;
    size_t start = 0;
    while (start <= chord.size()) {
        size_t end = chord.find('+', start);
        if (end == std::string::npos) {
            end = chord.size();
        }
        const std::string part = chord.substr(start, end - start);
        start = end + 1;
        const auto key = end == chord.size() ? std::pair(keyCode(keyboard.keymap, part), 0u)
                                             : modifier(keyboard.keymap, part);
        if (key.first < 0) {
            return false;
        }
        keys.push_back(key);
    }
    for (const auto &[code, mask] : keys) {
        keyboard.key(code, true, mask);
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        keyboard.key(it->first, false, it->second);
    }
    return true;
}

void moveTo(org_kde_kwin_fake_input *input, int x, int y)
{
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(x),
                                                    wl_fixed_from_int(y));
}

// As a hand drags: each step reaches the compositor before the next.
void drag(wl_display *display, org_kde_kwin_fake_input *input, int x, int y, int toX, int toY)
{
    moveTo(input, x, y);
    wl_display_roundtrip(display);
    org_kde_kwin_fake_input_button(input, BTN_LEFT, 1);
    wl_display_roundtrip(display);
    constexpr int steps = 20;
    for (int step = 1; step <= steps; ++step) {
        moveTo(input, x + (toX - x) * step / steps, y + (toY - y) * step / steps);
        wl_display_roundtrip(display);
        usleep(15000);
    }
    org_kde_kwin_fake_input_button(input, BTN_LEFT, 0);
}

// Plugs a virtual keyboard with the keymap into the seat.
zwp_virtual_keyboard_v1 *plugIn(const Globals &globals, xkb_keymap *keymap)
{
    char *text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    const bool isWritten = fd >= 0 && write(fd, text, size) == ssize_t(size);
    std::free(text);
    if (!isWritten) {
        return nullptr;
    }
    zwp_virtual_keyboard_v1 *keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.keyboards, globals.seat);
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    return keyboard;
}

} // namespace

int main()
{
    wl_display *display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "kelo-test-input: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names us{nullptr, nullptr, "us", nullptr, nullptr};
    Keyboard keyboard;
    keyboard.keymap = xkb_keymap_new_from_names(context, &us, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (globals.input != nullptr) {
        org_kde_kwin_fake_input_authenticate(globals.input, "KeloLens tests", "drives the tests");
        keyboard.fake = globals.input;
    } else if (globals.seat != nullptr && globals.keyboards != nullptr) {
        keyboard.virtualKeyboard = plugIn(globals, keyboard.keymap);
    }
    if ((keyboard.fake == nullptr && keyboard.virtualKeyboard == nullptr) ||
        wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "kelo-test-input: the compositor offers no input or refused it\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    char line[256];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        std::string command(line);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) {
            command.pop_back();
        }
        bool isDone = false;
        int x = 0;
        int y = 0;
        int toX = 0;
        int toY = 0;
        if (command.rfind("keys ", 0) == 0) {
            isDone = pressKeys(keyboard, command.substr(5));
        } else if (globals.input == nullptr) {
            isDone = false;
        } else if (std::sscanf(command.c_str(), "drag %d %d %d %d", &x, &y, &toX, &toY) == 4) {
            drag(display, globals.input, x, y, toX, toY);
            isDone = true;
        } else if (std::sscanf(command.c_str(), "click %d %d", &x, &y) == 2) {
            moveTo(globals.input, x, y);
            org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, 1);
            org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, 0);
            isDone = true;
        }
        isDone = wl_display_roundtrip(display) >= 0 && isDone;
        std::printf(isDone ? "done\n" : "failed\n");
        std::fflush(stdout);
    }
    if (keyboard.virtualKeyboard != nullptr) {
        zwp_virtual_keyboard_v1_destroy(keyboard.virtualKeyboard);
        wl_display_roundtrip(display);
    }
    xkb_keymap_unref(keyboard.keymap);
    xkb_context_unref(context);
    wl_display_disconnect(display);
    return 0;
}
