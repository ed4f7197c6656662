// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"
#include "KeloPlatform/ScreenReader.h"

#include <QImage>
#include <QList>
#include <QSize>

// The pixels of a selection, cut from the pictures of the monitors it lies on.
//
// Within one monitor they are that monitor's own pixels, at its scale. Across monitors of
// different scales the picture is made at the largest of them. Qt keeps each screen's top-left
// corner where the native screen starts and divides its size by its scale, so next to a screen
// of scale 2 its neighbour's global coordinates begin after a band that belongs to no screen;
// bands no monitor covers are left out, as the user saw no gap between the monitors either.
namespace RegionCut {

// Empty when the selection touches no monitor.
[[nodiscard]] QImage cut(const QList<KeloPlatform::MonitorImage> &monitors,
                         const ExactRect &selection);

// The size cut() gives, without cutting.
[[nodiscard]] QSize pixelSize(const QList<KeloPlatform::MonitorImage> &monitors,
                              const ExactRect &selection);

} // namespace RegionCut
