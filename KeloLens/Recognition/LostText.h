// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/LineReading.h"
#include "KeloLens/Recognition/PassLimit.h"

#include <QImage>
#include <QList>
#include <QRect>

namespace tesseract {
class TessBaseAPI;
}

// Page layout analysis drops what it takes for noise, and short program text looks like noise
// to it: a lone "}" row, or a four-line snippet of braces and short words, of which it then
// keeps nothing at all. Ink that no line read covers, that is not a picture the layout set
// aside and is sparse like text (codes and pictures are dense), is read again as a block of
// its own.
namespace LostText {

// `engine` holds `image` (dark text on white, one grey channel), from which `lines` were read;
// `pictures` are the regions the layout set aside as pictures. Lines read from lost ink are
// appended. Stops at `limit`.
void readAgain(tesseract::TessBaseAPI &engine, const QImage &image, QList<LineReading> &lines,
               const QList<QRect> &pictures, const PassLimit &limit);

} // namespace LostText
