// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <vector>

// The parts of a whole-screen capture that are not text on the page's background: panes of the
// other theme, and flat areas that hold no text. Both work on a Grayscale8 image.
namespace ScreenAreas {

// Stripes of a screen in the other theme than most of it, a dark editor beside a light browser,
// are turned over so that all text is dark on light: the engine would read every line of them
// twice, the second time inverted, and lays them out as pictures. Returns whether any stripe was
// turned.
bool turnOtherThemePanels(QImage &grey, int background, bool isInverted);

// Flat areas at least `contrast` from the background that hold no text, one byte per pixel;
// empty when there are none.
[[nodiscard]] std::vector<uchar> bareAreas(const QImage &grey, int background, int contrast);

} // namespace ScreenAreas
