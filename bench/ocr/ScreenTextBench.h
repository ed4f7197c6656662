// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchContext.h"
#include "Scores.h"

// Small captures of screen text heavy in program code, read by ours and by the plain tool:
// exact-line recall for prose, code and user interfaces, and the warm latency.
struct ScreenTextFigures
{
    Score ours;
    Score plain;
    double oursP50 = 0;
    double plainP50 = 0;
};

// `isHeldOut`: the corpus was not used to tune the recognizer; only the heading says so.
[[nodiscard]] ScreenTextFigures runScreenTextBench(const BenchContext &context,
                                                   const QList<CorpusImage> &corpus,
                                                   bool isHeldOut = false);
