// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Corpus.h"

namespace Corpus {

// Small captures of screen text heavy in program code: snippets with underscores, backticks,
// straight quotes, serials and indentation in four monospace fonts; prose with quotes and
// hyphenated compounds; labels, menus and forms. 12-15 px, light and dark. The truth of a code
// line keeps its indentation and spacing. Held out: the same kinds of text in other fonts and
// sizes (11-16 px), with other fillings and themes, never used to tune the recognizer.
[[nodiscard]] QList<CorpusImage> screenText(bool isHeldOut = false);

// Whole screens unlike the dense pages the speed was tuned on: a screen of code, two windows
// side by side, a sidebar beside a page, and small text.
[[nodiscard]] QList<CorpusImage> variedScreens(QSize screen = QSize(1920, 1080));

} // namespace Corpus
