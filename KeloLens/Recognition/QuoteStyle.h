// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A line of text is set with one kind of quotes, straight or curly. The engine reads a straight
// mark as a curly one now and then, often only one of a pair, so where a line quotes with straight
// marks, its curly ones are straightened too. Apostrophes inside words say nothing about the
// line's quotes: "“Don't”" keeps its curly quotes.
namespace QuoteStyle {

[[nodiscard]] QString matched(const QString &line);

} // namespace QuoteStyle
