// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/GridText.h"

#include <QImage>
#include <QRect>

#include <utility>
#include <vector>

// Which cells of a line of program text each character the engine read stands on: its boxes are
// loose, and drift near the end of a line.
namespace GridCells {

// A character this close to a cell's middle is surely in that cell.
constexpr double anchorTolerance = 0.25;

[[nodiscard]] double centreOf(const QRect &box);

// For each of the line's characters, the first cell it takes and how many (several for one
// underscore read for several). Two characters may share a cell: one of them was read wrong.
[[nodiscard]] std::vector<std::pair<int, int>> placed(const QImage &image, const LineReading &line,
                                                      const GridText::Grid &grid);

} // namespace GridCells
