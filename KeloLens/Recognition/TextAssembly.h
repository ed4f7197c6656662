// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/LineBreakMode.h"
#include "KeloLens/Recognition/RecognitionModel.h"

#include <QList>
#include <QString>

// Turns the text engine's lines into rows, paragraphs and one text. All pure: the inputs are
// taken by value and never modified.

// Rows top to bottom by vertical centre; fragments of one visual line merged left to right.
[[nodiscard]] QList<RecognizedLine> groupRows(QList<RecognizedLine> lines);

// One row's fragments, left to right, joined with single spaces; the box covers them all.
[[nodiscard]] RecognizedLine mergeRow(QList<RecognizedLine> row);

// Rows split into paragraphs at vertical gaps larger than 0.8 of the upper row's height.
[[nodiscard]] QList<Paragraph> groupParagraphs(QList<RecognizedLine> lines);

// The text put on the clipboard: paragraphs separated by a blank line, their lines by a line feed
// or a space, optionally joining words hyphenated at a line end.
[[nodiscard]] QString assembleText(const QList<Paragraph> &paragraphs, LineBreakMode mode,
                                   bool stripHyphenation);
