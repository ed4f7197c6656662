// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/QuoteStyle.h"

namespace {

// A straight double quote, or a straight single one at a word's edge: not an apostrophe inside a
// word ("don't"), which fonts and editors make straight in text quoted with curly marks.
bool quotesStraight(const QString &line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == u'"') {
            return true;
        }
        if (line.at(i) == u'\'') {
            const bool isInsideWord = i > 0 && i + 1 < line.size() &&
                                      line.at(i - 1).isLetterOrNumber() &&
                                      line.at(i + 1).isLetterOrNumber();
            if (!isInsideWord) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

namespace QuoteStyle {

QString matched(const QString &line)
{
    // Low opening marks („Wort“, ‚Wort‘) are typesetting, never a misread straight mark: their
    // closing curly marks stay.
    if (!quotesStraight(line) || line.contains(u'\u201E') || line.contains(u'\u201A')) {
        return line;
    }
    QString result = line;
    for (QChar &c : result) {
        if (c == u'\u201C' || c == u'\u201D') {
            c = u'"';
        } else if (c == u'\u2018' || c == u'\u2019') {
            c = u'\'';
        }
    }
    return result;
}

} // namespace QuoteStyle
