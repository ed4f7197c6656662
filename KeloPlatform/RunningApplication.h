// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>

namespace KeloPlatform {

// An application the user works in, identified by the top-level window that had the focus.
// Pasting goes back to that window, not merely to the process that owns it.
struct RunningApplication
{
    uint32_t windowId = 0;
    // The owning process, when its window says so.
    std::optional<qint64> processId;

    // Two references to the same window are the same application, whatever else they carry.
    [[nodiscard]] bool isSameApplication(const RunningApplication &other) const
    {
        return windowId == other.windowId;
    }

    bool operator==(const RunningApplication &) const = default;
};

} // namespace KeloPlatform
