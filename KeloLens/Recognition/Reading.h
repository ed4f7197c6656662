// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/LineBreakMode.h"

#include <QStringList>

// How a capture is read: in which languages (BCP 47 tags; none means automatic) and whether the
// lines of a paragraph keep their breaks. What the results panel offers to change when it reads
// a capture again.
struct Reading
{
    QStringList languages;
    LineBreakMode lineBreaks = LineBreakMode::keepLines;

    bool operator==(const Reading &) const = default;
};
