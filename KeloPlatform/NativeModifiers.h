// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace KeloPlatform {

// Qt reports Caps Lock only in a key event's native modifiers: the X core protocol's state mask
// on X11, the same xkb mask under Wayland, where Lock is bit 1.
[[nodiscard]] constexpr bool isCapsLockOn(quint32 nativeModifiers)
{
    return (nativeModifiers & (1u << 1)) != 0;
}

} // namespace KeloPlatform
