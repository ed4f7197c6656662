// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/LineBreakMode.h"
#include "KeloLens/Recognition/RecognitionModel.h"

#include <QList>
#include <QString>

#include <functional>

// Turns the text engine's lines into rows, paragraphs and one text. All pure: the inputs are
// taken by value and never modified.

// Rows top to bottom by vertical centre; fragments of one visual line merged left to right.
[[nodiscard]] QList<RecognizedLine> groupRows(QList<RecognizedLine> lines);

// One row's fragments, left to right, joined with single spaces; the box covers them all.
// Fragments in a monospace font are as far apart as drawn: the spaces fill the cells between.
[[nodiscard]] RecognizedLine mergeRow(QList<RecognizedLine> row);

// Rows split into paragraphs at vertical gaps larger than 0.8 of the upper row's height. Rows in
// a monospace font start with a space for each cell they are indented by, against the leftmost
// such row.
[[nodiscard]] QList<Paragraph> groupParagraphs(QList<RecognizedLine> lines);

// Whether a word belongs to the recognition languages.
using WordCheck = std::function<bool(const QString &word)>;

// What assembleText knows of the text beyond the user's settings.
struct AssemblyHints
{
    // Program text: in kept lines, indentation stays, and hyphens at line ends are the text's.
    bool isPreformatted = false;
    // With it, a hyphen at a line end is removed only when the two halves make a word, and kept
    // without the line break otherwise ("self-contained"); without it, every hyphen after a letter
    // at a line end joins.
    WordCheck isWord;
};

// The text put on the clipboard: paragraphs separated by a blank line, their lines by a line feed
// or a space, optionally joining words hyphenated at a line end.
[[nodiscard]] QString assembleText(const QList<Paragraph> &paragraphs, LineBreakMode mode,
                                   bool stripHyphenation, const AssemblyHints &hints = {});
