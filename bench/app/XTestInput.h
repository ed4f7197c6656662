// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace KeloE2E {

// Input sent through XTEST on a connection of its own, apart from Qt's, which also watches the
// root window for windows being mapped: for the application benchmark, which times each step
// from the moment the X server was told of it, not from when a helper program started. Moments
// are nanoseconds of the wall clock (CLOCK_REALTIME), comparable with `date +%s%N`.
class XTestInput
{
public:
    XTestInput();
    ~XTestInput();
    XTestInput(const XTestInput &) = delete;
    XTestInput &operator=(const XTestInput &) = delete;

    [[nodiscard]] bool isReady() const;
    [[nodiscard]] static std::int64_t now();

    // Presses and lets go of Ctrl+Shift+2; returns when the server has taken the keys.
    std::int64_t pressShortcut();
    // When a window covering the whole screen and outside the window manager's hands was mapped
    // after the last pressShortcut().
    std::optional<std::int64_t> waitForFullScreenMap(std::chrono::milliseconds timeout);
    // Drags with the left button; returns when the server has taken the release.
    std::int64_t drag(QPoint from, QPoint to);

private:
    struct Connection;
    std::unique_ptr<Connection> m_x;
};

} // namespace KeloE2E
