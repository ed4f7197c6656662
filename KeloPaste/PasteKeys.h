// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/WindowSystem.h"

#include <optional>

// The keys a window pastes with. Terminals cannot use Ctrl+V: it types a control character there.
enum class PasteKeys {
    // Almost every application.
    controlV,
    // Terminals with a clipboard key of their own (GNOME Terminal, Konsole, kitty, ...).
    controlShiftV,
    // xterm and the rxvt family, which paste the primary selection.
    shiftInsert,
};

// The keys for a window of this class; Ctrl+V when the class is unknown.
[[nodiscard]] PasteKeys pasteKeysFor(const std::optional<KeloPlatform::WindowClass> &windowClass);
