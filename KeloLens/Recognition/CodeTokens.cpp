// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/CodeTokens.h"

#include <algorithm>

namespace {

// A name or a number: letters, digits and underscores.
bool isTokenCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Replaces each run of `from` that a letter (or, with `isUnderscoreLetter`, an underscore)
// follows: inside a name the look-alike cannot be a digit, while digits at its end are common
// ("item1", "BUFFER0").
QString replacedBeforeLetters(QString token, QChar from, QChar to, bool isUnderscoreLetter)
{
    for (qsizetype i = 0; i < token.size(); ++i) {
        if (token.at(i) != from) {
            continue;
        }
        qsizetype end = i;
        while (end < token.size() && token.at(end) == from) {
            ++end;
        }
        if (end < token.size() &&
            (token.at(end).isLetter() || (isUnderscoreLetter && token.at(end) == u'_'))) {
            for (qsizetype n = i; n < end; ++n) {
                token[n] = to;
            }
        }
        i = end;
    }
    return token;
}

// `before` and `after`: the nearest characters other than spaces around the token, null at the
// line's ends.
QString correctedToken(const QString &token, QChar before, QChar after)
{
    int upper = 0;
    int lower = 0;
    int zeros = 0;
    int ones = 0;
    int otherDigits = 0;
    for (const QChar c : token) {
        upper += c.isUpper() ? 1 : 0;
        lower += c.isLower() ? 1 : 0;
        zeros += c == u'0' ? 1 : 0;
        ones += c == u'1' ? 1 : 0;
        otherDigits += c.isDigit() && c != u'0' && c != u'1' ? 1 : 0;
    }
    // "l" alone, assigned, compared or negated and ending the expression, is the digit
    // ("x = l;", "return -l;"); a name "l" elsewhere ("for l in lines", "f(l)") and an option
    // ending a command ("wc -l") stay.
    static const QString operators = QStringLiteral("=+-*/%<>");
    static const QString ends = QStringLiteral(";),");
    const bool isExpressionEnd = after.isNull() ? before != u'-' : ends.contains(after);
    if (token == QLatin1String("l") && !before.isNull() && operators.contains(before) &&
        isExpressionEnd) {
        return QStringLiteral("1");
    }
    // A constant's name in capitals.
    const bool isHex = token.startsWith(QLatin1String("0X"), Qt::CaseInsensitive);
    if (zeros > 0 && ones == 0 && otherDigits == 0 && lower == 0 && upper >= 3 && !isHex) {
        return replacedBeforeLetters(token, u'0', u'O', true);
    }
    // A word in small letters.
    if (ones > 0 && zeros == 0 && otherDigits == 0 && upper == 0 && lower >= 3) {
        return replacedBeforeLetters(token, u'1', u'l', false);
    }
    return token;
}

} // namespace

namespace CodeTokens {

QChar straightened(QChar c)
{
    if (c == u'\u2018' || c == u'\u2019') {
        return u'\'';
    }
    if (c == u'\u201C' || c == u'\u201D' || c == u'\u00AB' || c == u'\u00BB') {
        return u'"';
    }
    return c;
}

QString corrected(const QString &line)
{
    QString result;
    result.reserve(line.size());
    for (qsizetype i = 0; i < line.size();) {
        if (!isTokenCharacter(line.at(i))) {
            result += straightened(line.at(i));
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < line.size() && isTokenCharacter(line.at(end))) {
            ++end;
        }
        QString token = line.mid(i, end - i);
        // Turkish letters in program text are an "i" whose serifs the model took for more.
        token.replace(u'\u0130', u'i').replace(u'\u0131', u'i');
        qsizetype previous = i - 1;
        while (previous >= 0 && line.at(previous).isSpace()) {
            --previous;
        }
        qsizetype next = end;
        while (next < line.size() && line.at(next).isSpace()) {
            ++next;
        }
        result += correctedToken(token, previous >= 0 ? line.at(previous) : QChar(),
                                 next < line.size() ? line.at(next) : QChar());
        i = end;
    }
    return result;
}

} // namespace CodeTokens
