// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Checking for a newer version of the application. The status menu and the settings show their
// update commands only when the updater offers an in-app check.
class Updater
{
public:
    virtual ~Updater() = default;

    [[nodiscard]] virtual bool isAvailable() const = 0;
    // A check the user asked for; its outcome is shown to the user.
    virtual void checkForUpdates() = 0;
};
