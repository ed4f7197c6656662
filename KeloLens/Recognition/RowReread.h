// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/LineReading.h"
#include "KeloLens/Recognition/PassLimit.h"

#include <QImage>
#include <QList>

namespace tesseract {
class TessBaseAPI;
}

// Page layout analysis sometimes leaves part of a line out of every block: in code, a lone "="
// or "= 7;" after a wide gap reads as a column of its own that is then discarded as noise, and
// the words are silently lost, or the rest of the row comes back as a separate line. Ink that
// continues a line's row to the right, confined to the row's height and belonging to no line,
// is such a lost piece; the row is then read again as one line, taking in the lines beside it.
namespace RowReread {

// `engine` holds `image` (dark text on white, one grey channel), from which `lines` were read.
// Rows read again replace their lines; the lines they took in are removed. Stops at `limit`.
void readRowsAgain(tesseract::TessBaseAPI &engine, const QImage &image, QList<LineReading> &lines,
                   const PassLimit &limit);

} // namespace RowReread
