// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/AppInfo.h"
#include "KeloHotkey/KeyboardLayout.h"
#include "KeloLens/Capture/ScreenAccessRequest.h"

#include <QLocale>
#include <QStringList>
#include <QUrl>

#include <functional>

class Accessibility;
class LanguagePackInstaller;
class PermissionChecker;
class Preferences;
class Updater;

// Everything the settings pages work with, handed in by the window's owner. The services that
// may be missing are pointers: without a permission checker screen access reads as not needed,
// without accessibility pasting reads as not available, without an updater (or one that offers
// no check) there is no Updates row.
struct SettingsServices
{
    SettingsServices(Preferences &preferences, KeyboardLayout layout)
        : preferences(preferences), layout(layout)
    {
    }

    Preferences &preferences;
    KeyboardLayout layout;
    PermissionChecker *permission = nullptr;
    Accessibility *accessibility = nullptr;
    Updater *updater = nullptr;
    // The installed recognition languages; called away from the main thread.
    std::function<QStringList()> loadSupportedLanguages;
    // Installs language packs and says when one appears; without it the Recognition page makes
    // one of its own that watches the language data folder and has no package service.
    LanguagePackInstaller *languagePacks = nullptr;
    // Puts text on the clipboard; Qt's clipboard when unset.
    std::function<bool(const QString &)> copyText;
    AppInfo appInfo = AppInfo::fromBuild();
    // Language names and the language a preferred list starts with follow this locale.
    QLocale locale;
    // Where the session shows no tray icon there is no menu either: the General page then says
    // how to capture.
    bool isTrayMissing = false;
    // Where the session lets no application have a global shortcut, the General page says how to
    // bind a desktop shortcut to "kelolens --capture" instead of offering a recorder.
    bool hasGlobalShortcuts = true;
    // Where the session does not let KeloLens read the screen, the desktop's screenshot tool is
    // the only way to select, and the General page says so.
    bool canReadScreen = true;
    // Where the desktop would let KeloLens read the screen once asked, the screen access row
    // offers to ask.
    ScreenAccessRequest screenAccessRequest;
    // The session is X11, where every client may read the screen and send keys: the permission
    // rows say so in its words.
    bool isX11 = false;
    // Opens a web or mail address; the desktop's handler when unset.
    std::function<bool(const QUrl &)> openUrl;

    // openUrl, or the desktop's handler.
    bool open(const QUrl &url) const;
};
