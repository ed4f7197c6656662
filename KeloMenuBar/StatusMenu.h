// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QMenu;

// What the status menu shows at the moment it opens.
struct StatusMenuState
{
    // The registered capture shortcut as displayed; absent when none is registered.
    std::optional<QString> registeredShortcut;
    bool hasLastResult = false;
    bool isUpdaterAvailable = false;

    bool operator==(const StatusMenuState &) const = default;
};

// What the items do. An unset action is not called, except the two that need no owner: an unset
// openMakerWebsite opens the maker's site this build was configured with, an unset quit quits.
struct StatusMenuActions
{
    std::function<void()> captureText;
    std::function<void()> captureCode;
    std::function<void()> showLastResult;
    std::function<void()> openSettings;
    std::function<void()> checkForUpdates;
    std::function<void()> openMakerWebsite;
    std::function<void()> quit;
};

// Appends the status menu's items: capture text (with the shortcut as a hint), capture code, last
// result (enabled only when there is one), settings, updates (only when the updater offers a
// check), the maker's other apps, and quit, with separators between the groups.
void buildStatusMenu(QMenu &menu, const StatusMenuState &state, const StatusMenuActions &actions);
