// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/Clipboard.h"

#include <QString>

#include <memory>

namespace KeloPlatform {

// The Wayland clipboard, written over a connection of our own to the compositor, so it works
// whether Qt runs on Wayland or through XWayland and whichever window has the focus: through the
// data-control protocol where the compositor offers it (wlroots compositors, KDE Plasma), and
// otherwise through a short-lived surface that takes the keyboard focus just long enough to set
// the selection (GNOME). The text is served from this process for as long as it owns the
// clipboard. Main thread only.
class WaylandClipboard final : public Clipboard
{
public:
    enum class Method {
        // Data control where offered, else the focused surface.
        automatic,
        // The focused surface even where data control is offered (for tests).
        focusedSurface,
    };

    // Connects to the compositor of `displayName` (WAYLAND_DISPLAY when empty); absent when
    // there is none or it offers no clipboard to clients.
    [[nodiscard]] static std::unique_ptr<WaylandClipboard>
    connect(const QString &displayName = {}, Method method = Method::automatic);
    ~WaylandClipboard() override;

    [[nodiscard]] bool writeText(const QString &text) override;

    // Whether writes go through data control (no focus needed) rather than a focused surface.
    [[nodiscard]] bool usesDataControl() const;

    struct Connection;

private:
    explicit WaylandClipboard(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> m_connection;
};

} // namespace KeloPlatform
