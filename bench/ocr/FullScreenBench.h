// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchContext.h"
#include "Scores.h"

#include <map>

// Whole screens of dense text: ours against the plain tool on one thread, and how the time falls
// with the number of engines reading bands of the page at once.
struct FullScreenFigures
{
    Score ours;
    Score plain;
    double oursMs = 0; // all pages, the faster of two rounds each
    double plainMs = 0;
    std::map<int, double> msByWorkers;
    std::map<int, Score> scoreByWorkers;
};

[[nodiscard]] FullScreenFigures runFullScreenBench(const BenchContext &context,
                                                   const QList<CorpusImage> &pages);
