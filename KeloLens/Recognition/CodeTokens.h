// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Program text mixes letters and digits that look alike in small type: "1" and "l", "0" and
// "O". Where the rest of a token leaves no doubt what it is, the look-alike is made to fit:
// "S0_REUSEADDR" is a constant's name, "examp1e" a word, and "x = l;" assigns a number (style
// guides forbid "l" alone as a name for this very reason). Digits that end a name ("item1") are
// digits, and serials like "SN-00I1-lO01" are left as read. Curly quotes, which program text does
// not use, are straightened. Brackets and quotes that do not pair up are paired where a
// look-alike read for another explains it ("sizeof{on))", a backtick read as a quote), and a
// dotted or slashed zero is a zero. In shell lines, a "$" read as "S" before a well-known
// variable ("SHOME") and an "l" read as "1" among the letter options of a command that has no
// others ("wc -1") are mended.
namespace CodeTokens {

[[nodiscard]] QString corrected(const QString &line);

// A curly quote or a guillemet as the straight quote program text uses.
[[nodiscard]] QChar straightened(QChar c);

} // namespace CodeTokens
