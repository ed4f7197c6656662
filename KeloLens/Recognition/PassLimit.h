// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <stop_token>

namespace tesseract {
class ETEXT_DESC;
}

// When a pass of a recognition must stop: at its deadline, or when its owner cancels it.
struct PassLimit
{
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    std::stop_token stop;

    [[nodiscard]] bool isReached() const
    {
        return stop.stop_requested() || std::chrono::steady_clock::now() >= deadline;
    }

    // Makes the engine stop at the next word once the limit is reached. The limit must outlive
    // the engine's use of the monitor.
    void watch(tesseract::ETEXT_DESC &monitor) const;
};
