// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

// The text styles of KeloLens windows. Sizes are in pixels, not points: panels have fixed sizes
// and must lay out the same whatever font DPI the desktop sets.
enum class TextStyle {
    body,     // 13 px, the editor and toast messages
    headline, // 13 px semibold
    button,   // 12 px
    caption,  // 11 px, counts and hints
    caption2, // 10 px semibold, chip badges
};

// The application's font family in the given style.
[[nodiscard]] QFont themeFont(TextStyle style);
