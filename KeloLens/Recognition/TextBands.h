// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Horizontal bands of a page that engines can read apart, at the same time. Cuts run only along
// rows without ink, in the middle of the gap, so no line of text is split; the bands hold about
// the same amount of ink, which is what takes the engine time.
struct TextBand
{
    int top = 0;
    int height = 0;

    bool operator==(const TextBand &) const = default;
};

namespace TextBands {

// At most `count` bands covering every row of a Grayscale8 image with dark text on white; fewer
// when the page has fewer gaps, one when it has none.
[[nodiscard]] QList<TextBand> split(const QImage &grey, int count);

// The columns of the band that hold ink, from the leftmost to the rightmost: most of a screen's
// width is often empty margin beside a column of text. Empty when the band holds no ink.
[[nodiscard]] QRect inkSpan(const QImage &grey, const TextBand &band);

} // namespace TextBands
