// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/CodeTokens.h"

#include <algorithm>

namespace {

// A name or a number: letters, digits and underscores.
bool isTokenCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

QString correctedToken(const QString &token, QChar before)
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
    // "l" alone is the digit, unless it is a command's option ("wc -l").
    if (token == QLatin1String("l") && before != u'-') {
        return QStringLiteral("1");
    }
    // A constant's name in capitals.
    const bool isHex = token.startsWith(QLatin1String("0X"), Qt::CaseInsensitive);
    if (zeros > 0 && ones == 0 && otherDigits == 0 && lower == 0 && upper >= 3 && !isHex) {
        return QString(token).replace(u'0', u'O');
    }
    // A word in small letters.
    if (ones > 0 && zeros == 0 && otherDigits == 0 && upper == 0 && lower >= 3) {
        return QString(token).replace(u'1', u'l');
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
        result += correctedToken(token, i > 0 ? line.at(i - 1) : QChar());
        i = end;
    }
    return result;
}

} // namespace CodeTokens
