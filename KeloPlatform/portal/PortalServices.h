// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Private to the platform layer: the portal backend's set, for Wayland sessions.

#include "KeloPlatform/Platform.h"

#include <QDBusConnection>

#include <memory>

namespace KeloPlatform {

// Nothing can be known about other applications' windows under Wayland, nor can they be raised;
// every Wayland compositor composites.
class PortalWindowSystem final : public WindowSystem
{
public:
    [[nodiscard]] std::optional<RunningApplication> frontmostApplication() const override;
    bool activate(const RunningApplication &application) override;
    [[nodiscard]] std::optional<WindowClass>
    windowClass(const RunningApplication &application) const override;
    [[nodiscard]] bool isCompositing() const override;
    // Through XWayland, where our windows run when the session has it.
    void setInputRegion(uint32_t windowId, const QRect &region) override;
};

// The whole portal set over `bus` (the session bus in the application, a private one in tests):
// shortcuts, key presses and screenshots through the desktop portals, the clipboard over a
// Wayland connection of its own (Qt's clipboard when there is none), the keyboard layout from
// the X server when Qt runs through XWayland.
[[nodiscard]] std::unique_ptr<Platform> createPortalPlatform(const QDBusConnection &bus);

} // namespace KeloPlatform
