// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Parts of a page that engines can read apart, at the same time. A page whose columns stand
// apart along an empty gutter from top to bottom (two windows side by side) is first cut into
// those columns; each column is cut into horizontal bands along rows without ink, in the middle
// of the gap, so no line of text is split. The parts hold about the same amount of ink, which is
// what takes the engine time.
struct TextBand
{
    int top = 0;
    int height = 0;
    int left = 0;
    int width = 0; // 0: to the page's right edge

    bool operator==(const TextBand &) const = default;
};

namespace TextBands {

// At most `count` parts covering every pixel of a Grayscale8 image with dark text on white;
// fewer when the page has fewer gaps, one when it has none.
[[nodiscard]] QList<TextBand> split(const QImage &grey, int count);

// What there is to read in a band, whatever the weight of its type: the strokes its rows cross.
[[nodiscard]] qint64 strokes(const QImage &grey, const TextBand &band);

// The part of the band that holds ink, from the leftmost column with ink to the rightmost: most
// of a screen's width is often empty margin beside a column of text. Empty when the band holds
// no ink.
[[nodiscard]] QRect inkSpan(const QImage &grey, const TextBand &band);

} // namespace TextBands
