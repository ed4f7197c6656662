// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QImage>
#include <QList>

// A capture of two windows side by side, or of a sidebar beside a page, holds columns whose lines
// share heights; merged into rows, they would interleave. The lines are cut into blocks along
// the wide empty gutters between columns, top to bottom and left to right. A gutter between
// lines that pair up row by row (a form's labels and values, code and its trailing comments)
// divides nothing, unless something is drawn in it: a rule, or the edge of a differently
// coloured pane.
namespace TextBlocks {

// The lines' blocks in reading order; each block's lines in their incoming order. `image` is the
// capture the boxes are normalized to; without it, no rule or pane edge is seen.
[[nodiscard]] QList<QList<RecognizedLine>> split(const QList<RecognizedLine> &lines,
                                                 const QImage &image = {});

} // namespace TextBlocks
