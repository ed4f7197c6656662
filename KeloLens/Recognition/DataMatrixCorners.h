// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Where a Data Matrix code may be. The barcode reader looks for one only along lines through
// the middle of the image it is given, so a code elsewhere in a capture, or beside a larger
// code, is found by handing it a window around a candidate. A candidate is the code's finder:
// a solid dark edge on the left and at the bottom, meeting in a corner, with the alternating
// timing modules along the top and the right.
namespace DataMatrixCorners {

// The areas the finders span in a Grayscale8 image with dark modules on a lighter background,
// at most maxCount, top to bottom.
[[nodiscard]] QList<QRect> find(const QImage &grey, int maxCount);

} // namespace DataMatrixCorners
