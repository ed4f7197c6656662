// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/LineReading.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <functional>

// Writing out one line of program text on the grid of character cells it was found to sit on.
namespace GridText {

struct Grid
{
    double origin = 0; // left edge of the first character's cell
    double cell = 0;
};

// Reads the few characters (`count`, side by side) in an area of the picture.
using CharacterReader = std::function<QString(const QRect &area, int count)>;

// The line written out cell by cell; `firstCell` is set to where it starts. The engine places
// underscores loosely, and reads two as one or one as two: an empty cell holds an underscore
// when its own ink says so, and where the engine saw one that the ink does not show. Cells whose
// characters do not match their ink are read again with `readCharacter`.
[[nodiscard]] QString textOnGrid(const QImage &image, const LineReading &line, const Grid &grid,
                                 const CharacterReader &readCharacter, int &firstCell);

} // namespace GridText
