// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Letters the engine takes from another script for one that looks the same: a model that reads
// Latin letters and units beside the language's own has both to choose from.
namespace LookAlikes {

// The text with the micro sign inside a Greek word as the Greek mu ("κείµενο": "κείμενο"); the
// micro sign of a unit ("5 µm") stays.
[[nodiscard]] QString inWordScript(const QString &text);

// Prose with each vertical bar between two lowercase Latin letters as the "l" it is, drawn thin
// in small type ("ke|olens"): in prose no bar stands inside a word. Not for program text, where
// "a|b" is an operator.
[[nodiscard]] QString withBarsInWordsAsL(const QString &text);

} // namespace LookAlikes
