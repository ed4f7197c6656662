// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"

// Where on the screen the user selected, in Qt's global coordinates, and how sure that is.
struct SelectedRegion
{
    ExactRect rect;
    // A region tool said nothing of where the selection was: the rectangle was worked out from
    // where the pointer stopped, taken as its bottom-right corner, so the selection may lie on
    // any side of that point.
    bool isEstimate = false;

    bool operator==(const SelectedRegion &) const = default;
};
