// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchContext.h"
#include "Scores.h"

// The mixed corpus of small text and code images: accuracy and latency against the plain tool,
// the two passes overlapping, and what the engines' own threads cost.
struct CorpusFigures
{
    Score ours;
    Score plain;
    CodeScore codes;
    double oursP50 = 0;
    double plainP50 = 0;
    double bothMean = 0;   // text and codes read together
    double longerMean = 0; // the longer of the two passes alone
    double sumMean = 0;    // the two passes one after the other
};

[[nodiscard]] CorpusFigures runCorpusBench(const BenchContext &context,
                                           const QList<CorpusImage> &corpus);
