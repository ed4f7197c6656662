// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

// Key positions cross platforms as Mac virtual key codes (what settings store); the X server
// speaks Linux evdev codes, offset by 8 (X keycode = evdev code + 8).
namespace KeloPlatform {

// The evdev code of the key at a Mac key position, absent for codes no Linux key matches.
[[nodiscard]] std::optional<uint32_t> evdevCodeForMacKeyCode(uint16_t macKeyCode);

// The Mac key position of an evdev code, absent for keys a Mac keyboard does not have.
[[nodiscard]] std::optional<uint16_t> macKeyCodeForEvdevCode(uint32_t evdev);

// X keycodes are evdev codes shifted by 8 under the evdev driver that every current X server uses.
inline constexpr uint32_t xKeycodeOffset = 8;

} // namespace KeloPlatform
