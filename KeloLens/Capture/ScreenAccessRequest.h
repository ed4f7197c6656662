// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// Asks the desktop, from one of our windows, to let KeloLens read the screen from now on. GNOME
// puts that question only to the application in front, so the settings and onboarding ask it
// rather than a capture. Left unset where the desktop cannot be asked.
struct ScreenAccessRequest
{
    // Whether asking would change anything now: nothing is stored yet.
    std::function<bool()> canAsk;
    // Puts the question; the answer comes later, through the permission checker.
    std::function<void()> ask;

    [[nodiscard]] bool isPossible() const { return canAsk && ask && canAsk(); }
};
