// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"
#include "KeloPlatform/ScreenReader.h"

#include <QCoro/QCoroTask>
#include <QList>

#include <optional>

// Lets the user select a rectangle on a still picture of the screen. The capturer reaches the
// selection's windows through this, so tests can put a scripted selection in their place.
class RegionSelector
{
public:
    virtual ~RegionSelector() = default;

    // Shows the monitors' pictures where the monitors are and suspends until the user selects
    // (the rectangle, in Qt's global coordinates) or cancels (absent).
    virtual QCoro::Task<std::optional<ExactRect>>
    select(QList<KeloPlatform::MonitorImage> monitors) = 0;

    // Ends a selection under way as cancelled before returning, also when no event loop turns any
    // more (at exit). Does nothing when none is under way.
    virtual void cancel() = 0;
};
