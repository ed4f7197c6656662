// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The pictures KeloLens puts on buttons, labels and the tray.
enum class Symbol {
    copy,        // two sheets
    checkmark,   // a tick
    paste,       // a sheet with an arrow into it
    allowPaste,  // a raised hand: a permission is missing
    more,        // three dots in a circle: a menu
    reset,       // an arrow turning back
    success,     // a tick in a filled circle
    remove,      // a minus in a circle
    captureText, // a viewfinder around lines of text: the tray icon
};

// The desktop icon theme's name for the symbol (freedesktop naming), empty when themes have none.
[[nodiscard]] QString themeIconName(Symbol symbol);

// The icon theme's picture when the current theme has one, otherwise our own, drawn in `tint`:
// give it the colour of the text next to it, and ask again when the palette changes.
[[nodiscard]] QIcon symbolIcon(Symbol symbol, const QColor &tint);

// Our own picture, never the theme's: for places that must look the same everywhere.
[[nodiscard]] QIcon bundledSymbolIcon(Symbol symbol, const QColor &tint);

// The tray's picture drawn in `tint`. Where the installed icon theme has our symbolic icon, the
// icon also carries its name, so that panels which colour symbolic icons themselves (most
// StatusNotifierItem hosts) use it in their own colours.
[[nodiscard]] QIcon trayIcon(const QColor &tint);
