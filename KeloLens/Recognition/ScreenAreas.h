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

struct Areas
{
    std::vector<uchar> bare; // one byte per pixel; empty when there are none
    bool isAnyTurned = false;
};

// Areas of one shade at least `contrast` from the background: those that hold no text are
// bare (an empty bar, the desktop beside a window), and windows of the other theme among them,
// too small to be a stripe, are turned over in place.
[[nodiscard]] Areas settleAreas(QImage &grey, int background, int contrast, bool isInverted);

// Long thin rules of a page already dark on white, at least `contrast` darker than white, become
// white: a window's edge, a pane's separator, a table's border. Beside one, the engine takes the
// text for part of a table and reads none of it; a rule fills the gutter between two columns, and
// a light one down a window's sides makes all its rows look like one tall line.
void eraseRules(QImage &grey, int contrast);

} // namespace ScreenAreas
