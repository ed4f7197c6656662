// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/GridText.h"
#include "KeloLens/Recognition/LineReading.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

// Program text is drawn on a grid of equal character cells, and its spacing means something: the
// engine guesses spaces from gaps and reads "r * r" as "r*r", or an underscore thinned by
// scaling as a space. A line whose characters sit on such a grid is written out cell by cell
// instead: an empty cell is a space, unless a thin stroke lies along its foot, which is an
// underscore. Lines too short to show a grid of their own take their neighbours'.
namespace MonospaceGrid {

using CharacterReader = GridText::CharacterReader;

// `image` is the picture the lines were read from (dark text on white, one grey channel). Lines
// on a grid get their text rewritten, their cell width set, and their box started at the left
// edge of their first cell. A cell with ink that the engine left out of its line (it drops a
// lone "=" between words) is read on its own with `readCharacter`.
void apply(QList<LineReading> &lines, const QImage &image,
           const CharacterReader &readCharacter = {});

} // namespace MonospaceGrid
