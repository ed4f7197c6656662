// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/ScreenCapturer.h"

#include <memory>

class RegionSelector;

namespace KeloPlatform {
class ScreenReader;
}

// Captures with a selection of our own: reads every monitor into memory once, lets the user
// select on that still picture, and cuts the selection from it. The rectangle is exact, and
// nothing of the screen is written anywhere.
class OverlayScreenCapturer final : public ScreenCapturer
{
public:
    // Both must outlive the capturer.
    OverlayScreenCapturer(KeloPlatform::ScreenReader &reader, RegionSelector &selector);
    ~OverlayScreenCapturer() override;
    OverlayScreenCapturer(const OverlayScreenCapturer &) = delete;
    OverlayScreenCapturer &operator=(const OverlayScreenCapturer &) = delete;

    QCoro::Task<CaptureOutcome> capture() override;
    // Closes the selection; the capture completes as cancelled.
    void cancel() override;
    // Nothing is ever left behind.
    int removeLeftovers() override { return 0; }

private:
    struct Run;

    KeloPlatform::ScreenReader *m_reader;
    RegionSelector *m_selector;
    // The capture under way; owned by its coroutine, which may outlive this object.
    std::weak_ptr<Run> m_running;
};
