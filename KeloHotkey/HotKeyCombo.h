#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

// A global shortcut in its stored, portable form: a Mac virtual key code (the key's position on
// an ANSI keyboard) and the Carbon modifier mask. Linux maps both onto X keycodes and modifiers
// when the shortcut is grabbed, so settings written on one platform mean the same key elsewhere.
struct HotKeyCombo
{
    static constexpr uint32_t command = 0x100; // Ctrl on Linux
    static constexpr uint32_t shift = 0x200;
    static constexpr uint32_t option = 0x800;  // Alt on Linux
    static constexpr uint32_t control = 0x1000; // Super on Linux

    uint32_t keyCode = 19;
    uint32_t modifiers = command | shift;

    bool operator==(const HotKeyCombo &) const = default;

    // The capture shortcut a new installation starts with: key code 19 (the 2 key) with Shift and
    // Command.
    [[nodiscard]] static HotKeyCombo defaultCombo() { return {19, command | shift}; }

    // {"keyCode": ..., "modifiers": ...} as compact JSON.
    [[nodiscard]] QByteArray toJson() const;
    // Absent when the data is not a JSON object with both keys as unsigned 32-bit integers.
    [[nodiscard]] static std::optional<HotKeyCombo> fromJson(const QByteArray &json);
};
