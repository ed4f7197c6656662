// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace KeloPlatform {

// Whether the desktop shows status icons (a tray) now, and when that changes: a panel or bar that
// starts after this application, or restarts, brings its tray with it. Main thread only.
class TrayHost
{
public:
    virtual ~TrayHost() = default;

    [[nodiscard]] virtual bool isAvailable() const = 0;

    // Called on the main thread when isAvailable() changes. Create the status icon when it turns
    // true; an icon made while no tray was there stays invisible.
    std::function<void(bool isAvailable)> onAvailabilityChanged;
};

} // namespace KeloPlatform
