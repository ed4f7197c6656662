// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBitmap>
#include <QSize>

class QWidget;

// The one look of KeloLens windows. Linux has no glass material; what comes closest depends on
// whether a compositing manager runs, which owners ask at each use (compositors come and go):
// with one, a slightly translucent rounded surface that draws its own soft shadow; without one,
// an opaque rounded surface cut out by a window mask. Both follow the palette, light or dark,
// with a hairline border. Main thread only.
namespace GlassSurface {

// The corner radius of a panel whose owner gives none.
[[nodiscard]] qreal panelCornerRadius(bool isCompositing);

// The transparent border a floating surface adds on every side to draw its shadow in.
[[nodiscard]] int floatingShadowMargin(bool isCompositing);

// Makes the frameless top-level `window` the surface around `content` (content size `size`,
// rounded by `cornerRadius`) and fixes the window's size, which it returns: `size` plus the
// shadow margin on every side. Owners place the window with that size. Calling it again on the
// same window changes the look in place; a window whose native window already exists must be
// recreated for a change of translucency to show.
QSize floating(QWidget *window, QWidget *content, QSize size, qreal cornerRadius,
               bool isCompositing);

// The background of a titled window: an opaque surface in the palette's colours holding
// `content`, which the user can drag the window by. Calling it again replaces (and deletes) the
// previous content. The window's size becomes `size`.
void configure(QWidget *window, QWidget *content, QSize size);

// A window mask of `size` with corners of `radius` cut off; a radius of 0 keeps the corners
// square.
[[nodiscard]] QBitmap roundedMask(QSize size, qreal radius);

} // namespace GlassSurface
