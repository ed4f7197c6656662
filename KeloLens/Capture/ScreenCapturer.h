// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/CaptureOutcome.h"

#include <QCoro/QCoroTask>

// Lets the user select a region of the screen and returns its pixels. The capture flow holds one
// of these so tests can put a scripted capturer in its place.
class ScreenCapturer
{
public:
    virtual ~ScreenCapturer() = default;

    // Suspends while the user selects; every failure is an outcome, never an exception.
    virtual QCoro::Task<CaptureOutcome> capture() = 0;
};
