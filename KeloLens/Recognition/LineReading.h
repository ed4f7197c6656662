// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>
#include <QString>

namespace tesseract {
class ResultIterator;
}

// One character of a line as the engine read it.
struct SymbolReading
{
    QString text;
    QRect box;
    int word = 0; // which of the line's words it belongs to
};

// One text line as the engine read it, in the pixels of the image it was given.
struct LineReading
{
    QString text;
    QRect box;             // the row's full height, for placing the line among the others
    QRect inkBox;          // the words' own ink
    double confidence = 0; // mean of the words'
    QList<QRect> wordBoxes;
    QList<SymbolReading> symbols; // their words are indexes into wordBoxes
    int baseline = 0; // where the letters stand, at the line's middle
    // In a monospace font, the width of one character cell; 0 otherwise. The box then starts at
    // the left edge of the first character's cell.
    double cellWidth = 0;
    // Words the engine gave no text: pictures beside the text, or, in a pass stopped at its
    // deadline, the words it did not reach.
    QList<QRect> emptyWords;

    // Reads the line at the iterator word by word and leaves the iterator on its last word. The
    // engine's own line string pads words it could not read (pictures, QR codes beside the
    // text) with spaces and stretches the line's box over them, which would put the line in the
    // wrong place among the others; only the words with text count.
    [[nodiscard]] static LineReading read(tesseract::ResultIterator &iterator);

    // The line cut where its words are further apart than `minGap` pixels: layout analysis
    // runs a line on across the gutter between two windows. Pieces of a row are merged again
    // when the text is assembled, unless they lie in different columns.
    [[nodiscard]] QList<LineReading> splitAtGaps(int minGap) const;
};
