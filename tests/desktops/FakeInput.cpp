// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-test-fake-input: a keyboard and a mouse for KWin's virtual back end, through KWin's
// fake-input protocol (KWin admits the client by its desktop entry). Prints "ready" once KWin
// has accepted it, then reads commands from standard input, one a line, and answers each with
// "done" (or "failed") once the compositor has the events:
//     keys ctrl+shift+2       presses the modifiers, the key, and lets go in reverse order
//     click X Y               moves the pointer there and clicks the left button
//     drag X1 Y1 X2 Y2        presses the left button at the first place, moves to the second
//                             in small steps and lets go there
// Key names are X key symbol names (Return, Escape, 2, v) found on a US layout.

#include "fake-input-client-protocol.h"

#include <cstdio>
#include <cstring>
#include <linux/input-event-codes.h>
#include <string>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

constexpr uint32_t xkbOffset = 8;

struct Globals
{
    org_kde_kwin_fake_input *input = nullptr;
};

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        globals->input = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}

void onGlobalRemove(void *, wl_registry *, uint32_t) {}

const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

int modifierCode(const std::string &name)
{
    if (name == "ctrl" || name == "control") {
        return KEY_LEFTCTRL;
    }
    if (name == "shift") {
        return KEY_LEFTSHIFT;
    }
    if (name == "alt") {
        return KEY_LEFTALT;
    }
    if (name == "super" || name == "logo") {
        return KEY_LEFTMETA;
    }
    return -1;
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

bool pressKeys(org_kde_kwin_fake_input *input, xkb_keymap *keymap, const std::string &chord)
{
    std::vector<int> codes;
    size_t start = 0;
    while (start <= chord.size()) {
        size_t end = chord.find('+', start);
        if (end == std::string::npos) {
            end = chord.size();
        }
        const std::string part = chord.substr(start, end - start);
        start = end + 1;
        const int code = end == chord.size() ? keyCode(keymap, part) : modifierCode(part);
        if (code < 0) {
            return false;
        }
        codes.push_back(code);
    }
    for (const int code : codes) {
        org_kde_kwin_fake_input_keyboard_key(input, uint32_t(code), 1);
    }
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
        org_kde_kwin_fake_input_keyboard_key(input, uint32_t(*it), 0);
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

} // namespace

int main()
{
    wl_display *display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "kelo-test-fake-input: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.input == nullptr) {
        std::fprintf(stderr, "kelo-test-fake-input: the compositor offers no fake input\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(globals.input, "KeloLens tests", "drives the tests");
    if (wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "kelo-test-fake-input: the compositor refused the client\n");
        return 1;
    }
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names us{nullptr, nullptr, "us", nullptr, nullptr};
    xkb_keymap *keymap = xkb_keymap_new_from_names(context, &us, XKB_KEYMAP_COMPILE_NO_FLAGS);
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
            isDone = pressKeys(globals.input, keymap, command.substr(5));
        } else if (std::sscanf(command.c_str(), "drag %d %d %d %d", &x, &y, &toX, &toY) == 4) {
            drag(display, globals.input, x, y, toX, toY);
            isDone = true;
        } else if (std::sscanf(command.c_str(), "click %d %d", &x, &y) == 2) {
            org_kde_kwin_fake_input_pointer_motion_absolute(globals.input, wl_fixed_from_int(x),
                                                            wl_fixed_from_int(y));
            org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, 1);
            org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, 0);
            isDone = true;
        }
        isDone = wl_display_roundtrip(display) >= 0 && isDone;
        std::printf(isDone ? "done\n" : "failed\n");
        std::fflush(stdout);
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    wl_display_disconnect(display);
    return 0;
}
