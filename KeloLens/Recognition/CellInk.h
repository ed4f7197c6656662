// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/GridText.h"
#include "KeloLens/Recognition/LineReading.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <map>

// What the ink in one character cell of a line of program text shows, whatever the engine read
// there. `image` is dark text on white, one grey channel.
namespace CellInk {

// A thin stroke along the foot of the cell and across most of it, with nothing above.
[[nodiscard]] bool holdsUnderscore(const QImage &image, const LineReading &line,
                                   const GridText::Grid &grid, int cell);

// Whether the middle of a cell holds ink.
[[nodiscard]] bool holdsInk(const QImage &image, const LineReading &line,
                            const GridText::Grid &grid, int cell);

// The ink of a cell, within the line's box; empty for none.
[[nodiscard]] QRect inkIn(const QImage &image, const LineReading &line, const GridText::Grid &grid,
                          int cell);

// Whether all of a cell's ink lies high above the baseline, as a quote's or a backtick's does.
[[nodiscard]] bool isRaised(const QImage &image, const LineReading &line,
                            const GridText::Grid &grid, int cell);

[[nodiscard]] bool hasBacktick(const std::map<int, QString> &cells);

// Characters whose ink cannot be what was read, in the line's cells, made what the ink shows.
void mendByShape(const QImage &image, const LineReading &line, const GridText::Grid &grid,
                 std::map<int, QString> &cells);

} // namespace CellInk
