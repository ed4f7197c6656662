// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchContext.h"
#include "Scores.h"

// Captures of a single code: the text must stay empty so that the code's payload is what is
// copied, where the plain tool reads junk letters off the modules.
struct CodeOnlyFigures
{
    int captures = 0;
    int oursEmptyText = 0;
    int plainEmptyText = 0;
    CodeScore ours;
    CodeScore luminanceOnly;
};

[[nodiscard]] CodeOnlyFigures runCodeOnlyBench(const BenchContext &context,
                                               const QList<CorpusImage> &captures);
