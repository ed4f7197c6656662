// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPaste/PasteKeys.h"

#include <QLatin1String>
#include <QString>

#include <algorithm>
#include <iterator>

namespace {

// WM_CLASS names, compared without letter case; either of a window's two names may match.
constexpr const char *selectionTerminals[] = {
    "xterm", "uxterm", "urxvt", "rxvt", "aterm", "eterm", "mrxvt",
};

constexpr const char *clipboardTerminals[] = {
    "gnome-terminal",
    "gnome-terminal-server",
    "kgx",
    "org.gnome.Console",
    "org.gnome.Ptyxis",
    "konsole",
    "yakuake",
    "xfce4-terminal",
    "lxterminal",
    "qterminal",
    "mate-terminal",
    "tilix",
    "terminator",
    "kitty",
    "Alacritty",
    "foot",
    "footclient",
    "org.wezfurlong.wezterm",
    "terminology",
    "sakura",
    "guake",
    "tilda",
    "roxterm",
    "st",
    "st-256color",
    "stterm",
    "cool-retro-term",
    "deepin-terminal",
    "io.elementary.terminal",
    "com.raggesilver.BlackBox",
    "com.mitchellh.ghostty",
    "contour",
};

template <typename Names> bool isListed(const Names &names, const QString &name)
{
    return std::any_of(std::begin(names), std::end(names), [&](const char *candidate) {
        return name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0;
    });
}

} // namespace

PasteKeys pasteKeysFor(const std::optional<KeloPlatform::WindowClass> &windowClass)
{
    if (!windowClass) {
        return PasteKeys::controlV;
    }
    for (const QString &name : {windowClass->instanceName, windowClass->className}) {
        if (isListed(selectionTerminals, name)) {
            return PasteKeys::shiftInsert;
        }
        if (isListed(clipboardTerminals, name)) {
            return PasteKeys::controlShiftV;
        }
    }
    return PasteKeys::controlV;
}
