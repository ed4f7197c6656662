// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <Qt>

#include <cstdint>
#include <optional>

class KeyboardLayout;

// How a shortcut is spelled: Linux desktops write modifier names joined with "+" (Ctrl+Shift+2),
// the form this application shows; macOS writes modifier symbols without separators (⇧⌘2).
enum class ShortcutStyle { names, symbols };

// A global shortcut in its stored, portable form: a Mac virtual key code (the key's position on
// an ANSI keyboard) and the Carbon modifier mask. Linux maps both onto X keycodes and modifiers
// when the shortcut is grabbed, so settings written on one platform mean the same key elsewhere.
struct HotKeyCombo
{
    static constexpr uint32_t command = 0x100; // Ctrl on Linux
    static constexpr uint32_t shift = 0x200;
    static constexpr uint32_t option = 0x800;   // Alt on Linux
    static constexpr uint32_t control = 0x1000; // Super on Linux

    uint32_t keyCode = 19;
    uint32_t modifiers = command | shift;

    bool operator==(const HotKeyCombo &) const = default;

    // The capture shortcut a new installation starts with: key code 19 (the 2 key) with Shift and
    // Command.
    [[nodiscard]] static HotKeyCombo defaultCombo() { return {19, command | shift}; }

    // The shortcut as the user reads it. Names: "Ctrl", "Alt", "Shift", "Super" in that
    // order, then the key's name, joined with "+". Symbols: "⌃⌥⇧⌘" (Control, Option, Shift,
    // Command) as present, then the key's name. Key names come from the current keyboard layout.
    [[nodiscard]] QString displayString(const KeyboardLayout &layout,
                                        ShortcutStyle style = ShortcutStyle::names) const;
    // The same pieces, one per key cap, modifiers first and the key last.
    [[nodiscard]] QStringList keys(const KeyboardLayout &layout,
                                   ShortcutStyle style = ShortcutStyle::names) const;

    // The modifier mask for Qt's modifiers of a key event: Ctrl is Command, Alt is Option, Meta
    // (Super) is Control, Shift is Shift; keypad and group-switch flags are ignored.
    [[nodiscard]] static uint32_t carbonFlags(Qt::KeyboardModifiers modifiers);

    // {"keyCode": ..., "modifiers": ...} as compact JSON.
    [[nodiscard]] QByteArray toJson() const;
    // Absent when the data is not a JSON object with both keys as unsigned 32-bit integers.
    [[nodiscard]] static std::optional<HotKeyCombo> fromJson(const QByteArray &json);
};
