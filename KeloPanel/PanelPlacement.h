// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"

#include <QList>
#include <QPointF>
#include <QSizeF>

#include <optional>

// One screen as Qt reports it, in global device-independent coordinates (top-left origin, y
// down): its whole frame and the part windows may use (without panels and docks).
struct ScreenArea
{
    ExactRect frame;
    ExactRect available;

    bool operator==(const ScreenArea &) const = default;
};

// The screens in the window system's order, and the primary one.
struct ScreenLayout
{
    QList<ScreenArea> screens;
    std::optional<ScreenArea> primary;

    bool operator==(const ScreenLayout &) const = default;

    // The screens of the running application.
    [[nodiscard]] static ScreenLayout current();
};

// Where floating windows go: top-left window origins for a window of the given size, absent when
// there is no screen to place it on (the window then stays where it is).
namespace PanelPlacement {

// The space between a panel and the selection it belongs to.
inline constexpr double selectionGap = 12;
// The space between a toast and the top of the usable screen area.
inline constexpr double toastTopGap = 12;

// Centred under the selection, 12 below it; above it, 12 away, when it does not fit below. Kept
// inside the usable area of the first screen the selection touches (the primary screen when it
// touches none): left edge first, then right edge, bottom edge, then top edge, so a window
// larger than the area sticks to its top right. Where that would cover the selection (a tall
// one), beside it instead, 12 to its right or else to its left, when the window fits there.
[[nodiscard]] std::optional<QPointF> nearSelection(const ExactRect &selection, QSizeF window,
                                                   const ScreenLayout &layout);

// The same next to a selection estimated from where the pointer stopped (its bottom-right corner
// taken as the pointer): absent, so that the window takes its fixed place, when the window could
// cover the real selection, which may lie on any side of the pointer.
[[nodiscard]] std::optional<QPointF> nearEstimate(const ExactRect &estimate, QSizeF window,
                                                  const ScreenLayout &layout);

// Centred horizontally on the screen under the pointer (else the primary screen), with the
// window's centre 60 % of the way up the usable height: a little above the middle.
[[nodiscard]] std::optional<QPointF> fixedPlace(QPointF pointer, QSizeF window,
                                                const ScreenLayout &layout);

// Centred horizontally at the top of the screen under the pointer (else the primary screen),
// 12 below the top of its usable area.
[[nodiscard]] std::optional<QPointF> topCentre(QPointF pointer, QSizeF window,
                                               const ScreenLayout &layout);

} // namespace PanelPlacement
