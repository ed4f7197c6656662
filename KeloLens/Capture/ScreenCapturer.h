// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/CaptureOutcome.h"

#include <QCoro/QCoroTask>
#include <QString>

// Lets the user select a region of the screen and returns its pixels. The capture flow holds one
// of these so tests can put a scripted capturer in its place.
class ScreenCapturer
{
public:
    virtual ~ScreenCapturer() = default;

    // Suspends while the user selects; every failure is an outcome, never an exception.
    virtual QCoro::Task<CaptureOutcome> capture() = 0;

    // Ends a capture under way, also when no event loop turns any more (at exit): what it runs is
    // stopped, its file is gone when this returns, and it completes as cancelled. Does nothing
    // when no capture runs.
    virtual void cancel() = 0;

    // Deletes the capture files an earlier run left behind (it was killed or crashed
    // mid-capture); called at start-up. Returns how many went.
    virtual int removeLeftovers() = 0;

    // The command that installs what captures need, where that is missing; empty otherwise.
    [[nodiscard]] virtual QString missingToolCommand() const { return {}; }
};
