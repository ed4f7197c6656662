// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace KeloPlatform {
struct Platform;
class WindowSystem;
} // namespace KeloPlatform

// Driving the test X server the way a user and other applications would.
namespace KeloTest {

// The path of a helper program built for the X11 tests: kelo-test-x-client (a second X client
// that grabs keys, reports the lock state and watches activation requests) or
// kelo-test-scene (a window with text, a code or a text field that reports its text).
[[nodiscard]] QString helperProgram(const QString &name);

// Runs xdotool with these arguments to its end; whether it succeeded.
[[nodiscard]] bool xdotool(const QStringList &arguments);

// Presses and releases each key combination in turn, e.g. {"ctrl+shift+2", "Num_Lock"}.
[[nodiscard]] bool pressKeys(const QStringList &keys);

// Switches the server's keyboard layout, e.g. ("us", "dvorak"); whether setxkbmap succeeded.
[[nodiscard]] bool setKeyboardLayout(const QString &layout, const QString &variant = {});

// Puts the US layout, which every X11 test expects, back when it goes.
class UsLayoutRestorer
{
public:
    UsLayoutRestorer() = default;
    ~UsLayoutRestorer();
    UsLayoutRestorer(const UsLayoutRestorer &) = delete;
    UsLayoutRestorer &operator=(const UsLayoutRestorer &) = delete;
};

// The clipboard's content for one target ("UTF8_STRING", "TARGETS"...) as another client reads
// it, decoded as UTF-8.
[[nodiscard]] QString readClipboard(const QString &target);

// The window that has the focus, if the window manager says.
// The X11 service set, made once per test program and shared by its tests.
[[nodiscard]] KeloPlatform::Platform &x11Platform();
// The frontmost window of the shared X11 set.
[[nodiscard]] std::optional<uint32_t> frontmostWindow();
[[nodiscard]] std::optional<uint32_t> frontmostWindow(const KeloPlatform::WindowSystem &windows);

// Puts the window in front the way a pager would and waits until it stays there. A new window's
// own request, or the focus the window manager gives a window it maps, may lose against later
// focus changes; an explicit request from the user's side always wins.
[[nodiscard]] bool bringToFront(KeloPlatform::WindowSystem &windows, uint32_t window);

} // namespace KeloTest
