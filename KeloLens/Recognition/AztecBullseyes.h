// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QPoint>

// Where an Aztec code's bullseye (concentric dark and light squares, one module wide) may be.
// The barcode reader looks for an Aztec code only around the middle of the image it is given,
// so a code elsewhere in a capture is found by handing it an image centred on a candidate.
struct AztecBullseye
{
    QPoint centre;
    double moduleSize = 0;

    bool operator==(const AztecBullseye &) const = default;
};

namespace AztecBullseyes {

// Candidates in a Grayscale8 image with dark modules on a light background, at most maxCount,
// top to bottom.
[[nodiscard]] QList<AztecBullseye> find(const QImage &grey, int maxCount);

} // namespace AztecBullseyes
