// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>

// Colours every KeloLens surface draws with, taken from the palette so that light and dark
// desktops both read well.
namespace ThemeColors {

// The palette's text colour at the given opacity: fills and hairlines that darken a light surface
// and lighten a dark one.
[[nodiscard]] inline QColor primary(const QPalette &palette, qreal opacity = 1.0)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

// Secondary text: captions, counts, hints.
[[nodiscard]] inline QColor secondary(const QPalette &palette)
{
    return primary(palette, 0.62);
}

// The palette's accent (selection) colour at the given opacity.
[[nodiscard]] inline QColor accent(const QPalette &palette, qreal opacity = 1.0)
{
    QColor color = palette.color(QPalette::Highlight);
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

// Whether the palette is a dark one (light text on a dark window).
[[nodiscard]] inline bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() <
           palette.color(QPalette::WindowText).lightnessF();
}

} // namespace ThemeColors
