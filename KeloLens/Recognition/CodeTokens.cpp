// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/CodeTokens.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

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

// The nearest character other than a space from `at` in `direction` (-1 or 1); null at the
// line's ends.
QChar nearest(const QString &line, qsizetype at, int direction)
{
    for (qsizetype i = at + direction; i >= 0 && i < line.size(); i += direction) {
        if (!line.at(i).isSpace()) {
            return line.at(i);
        }
    }
    return {};
}

// Dotted and slashed zeros of programming fonts, read as letters.
bool isZeroLookAlike(QChar c)
{
    return c == u'\u00F0' || c == u'\u00F8' || c == u'\u00D8' || c == u'\u03B8';
}

// Where a value stands: after an operator or an opening bracket, before a closing one or the
// end of a statement.
bool isOperandPlace(QChar before, QChar after)
{
    static const QString leading = QStringLiteral("=([,:+-*/%<>!&|?");
    static const QString trailing = QStringLiteral(");,]}");
    return !before.isNull() && leading.contains(before) &&
           (after.isNull() || trailing.contains(after));
}

// Brackets that do not pair up where one look-alike for another would make them: "{" read for
// the "(" of a call ("sizeof{on))") and "}" for a ")". A line may open a block it does not close
// ("if (x) {"), so only a line whose round brackets are off, and braces off the other way, is
// changed; and only when that makes its round brackets pair up. (A round letter read for the "("
// of an empty call, "y0);", cannot be told from the end of a call continued from the line above,
// "beta0)".)
QString withBracketsPaired(const QString &line)
{
    const auto surplus = [](const QString &text, QChar open, QChar close) {
        return text.count(open) - text.count(close);
    };
    const qsizetype round = surplus(line, u'(', u')');
    const qsizetype curly = surplus(line, u'{', u'}');
    if (round == 0) {
        return line;
    }
    // Braces change only as far as they are off the other way.
    qsizetype braces = round < 0 ? std::max<qsizetype>(0, curly) : std::max<qsizetype>(0, -curly);
    QString paired = line;
    qsizetype left = std::abs(round);
    for (qsizetype i = 0; i < paired.size() && left > 0; ++i) {
        const QChar c = paired.at(i);
        const QChar before = i > 0 ? paired.at(i - 1) : QChar();
        const QChar after = i + 1 < paired.size() ? paired.at(i + 1) : QChar();
        const bool isAfterName = !before.isNull() && isTokenCharacter(before);
        // Or before a word that opens a remark in brackets ("  {use \"git add\" ...)").
        const bool opensRemark =
            (before.isNull() || before.isSpace()) && !after.isNull() && after.isLetter();
        if (round < 0 && (isAfterName || opensRemark) && c == u'{' && braces > 0) {
            paired[i] = u'(';
            --braces;
            --left;
        } else if (round < 0 && isAfterName && c == u'Q' && after == u')') {
            // The "()" of an empty call, set close, read as one round letter and its end.
            paired[i] = u'(';
            --left;
        } else if (round > 0 && c == u'}' && braces > 0 && !before.isNull() && !before.isSpace() &&
                   (after.isNull() || after == u')' || after == u';' || after == u',')) {
            paired[i] = u')';
            --braces;
            --left;
        }
    }
    return surplus(paired, u'(', u')') == 0 ? paired : line;
}

// An index whose "[" was read as the "l" it looks like in small type ("a[i]" as "ali]"): only a
// short one, a letter or a number, after a name, and only where a "]" is left without its "[".
QString withIndexBracketsPaired(const QString &line)
{
    qsizetype open = line.count(u'[') - line.count(u']');
    if (open >= 0) {
        return line;
    }
    static const QString lookAlikes = QStringLiteral("l1I|");
    QString paired = line;
    for (qsizetype i = 0; i < paired.size() && open < 0; ++i) {
        if (paired.at(i) != u']') {
            continue;
        }
        qsizetype start = i;
        while (start > 0 && isTokenCharacter(paired.at(start - 1))) {
            --start;
        }
        // The look-alike, with a name before it and one letter or a number after it.
        for (qsizetype at = i - 2; at > start; --at) {
            const QStringView index = QStringView(paired).mid(at + 1, i - at - 1);
            const bool isIndex =
                index.size() == 1 ||
                std::all_of(index.begin(), index.end(), [](QChar c) { return c.isDigit(); });
            if (!isIndex) {
                break;
            }
            if (lookAlikes.contains(paired.at(at)) && paired.at(at - 1).isLetter()) {
                paired[at] = u'[';
                ++open;
                break;
            }
        }
    }
    return paired;
}

// The null character's escape, its zero read as a letter ('\o').
QString withNullEscapes(QString line)
{
    for (qsizetype i = 0; i + 2 < line.size(); ++i) {
        const QChar quote = line.at(i + 2);
        if (line.at(i) == u'\\' && (line.at(i + 1) == u'o' || line.at(i + 1) == u'O') &&
            (quote == u'\'' || quote == u'"')) {
            line[i + 1] = u'0';
        }
    }
    return line;
}

// A quote that does not pair up: the engine reads a backtick as a double or a single quote, and
// a double quote as a trade mark sign.
QString withQuotesPaired(const QString &line)
{
    QString paired = line;
    // A string with "${...}" in it opened with one quote and closed with another mark is a
    // template between backticks, read as quotes, a degree sign or a star.
    static const QRegularExpression template_(
        QStringLiteral(R"((['"])([^'"`]*\$\{[^'"`]*)(['"\x{B0}*])(?=[;,)]|$))"));
    if (!paired.contains(u'`')) {
        const QRegularExpressionMatch match = template_.match(paired);
        if (match.hasMatch() && match.captured(1) != match.captured(3)) {
            paired[match.capturedStart(1)] = u'`';
            paired[match.capturedStart(3)] = u'`';
        }
    }
    if (paired.count(u'"') % 2 == 1 && paired.count(u'\u2122') == 1) {
        paired.replace(u'\u2122', u'"');
    }
    if (paired.count(u'`') % 2 == 1 && paired.count(u'"') == 1) {
        paired.replace(u'"', u'`');
    }
    // An opening backtick read as a straight single quote; an apostrophe inside a word stays.
    const qsizetype single = paired.indexOf(u'\'');
    if (paired.count(u'`') % 2 == 1 && paired.count(u'\'') == 1 &&
        !(single > 0 && single + 1 < paired.size() && paired.at(single - 1).isLetter() &&
          paired.at(single + 1).isLetter())) {
        paired[single] = u'`';
    }
    return paired;
}

// Environment variables every shell line uses; read after a "$" read as "S" ("SHOME").
bool isWellKnownVariable(QStringView name)
{
    static const QStringList names = {QStringLiteral("HOME"),
                                      QStringLiteral("PATH"),
                                      QStringLiteral("USER"),
                                      QStringLiteral("PWD"),
                                      QStringLiteral("OLDPWD"),
                                      QStringLiteral("SHELL"),
                                      QStringLiteral("LANG"),
                                      QStringLiteral("TERM"),
                                      QStringLiteral("EDITOR"),
                                      QStringLiteral("DISPLAY"),
                                      QStringLiteral("TMPDIR"),
                                      QStringLiteral("HOSTNAME"),
                                      QStringLiteral("PYTHONPATH"),
                                      QStringLiteral("JAVA_HOME"),
                                      QStringLiteral("GOPATH"),
                                      QStringLiteral("LD_LIBRARY_PATH"),
                                      QStringLiteral("XDG_RUNTIME_DIR"),
                                      QStringLiteral("XDG_CONFIG_HOME"),
                                      QStringLiteral("XDG_DATA_HOME")};
    return names.contains(name);
}

// Words of shell lines every reader knows, misread: where a command stands, "wc" read as "we"
// with its own options after it, and "ls" as "1s"; a path from the root whose slash was read as
// an "f" ("fusr/local/bin", "fbin").
QString withShellWordsMended(const QString &line)
{
    static const QRegularExpression countCommand(
        QStringLiteral(R"(([|;&$]\s*)we(\s+-[lwcmL1]+\b))"));
    static const QRegularExpression listCommand(QStringLiteral(R"(([|;&$]\s*)1s(?=[\s;|&)]|$))"));
    static const QRegularExpression rootPath(QStringLiteral(
        R"((^|[\s=:'"(])f(usr|bin|sbin|etc|home|var|opt|tmp|dev|lib|proc|sys|srv|mnt|media|boot)(?=/|$))"));
    QString mended = line;
    mended.replace(countCommand, QStringLiteral("\\1wc\\2"));
    mended.replace(listCommand, QStringLiteral("\\1ls"));
    mended.replace(rootPath, QStringLiteral("\\1/\\2"));
    return mended;
}

// Commands whose options are all letters and take no number joined to them: a "1" among them is
// an "l" ("wc -1").
QString withLetterOptions(const QString &line)
{
    static const QRegularExpression option(QStringLiteral(
        R"((?:^|[|;&$]\s*|\bsudo\s+)(?:wc|cat|cp|mv|rm|ln|uname)\s+-([a-zA-Z1]+)\b)"));
    QString mended = line;
    QRegularExpressionMatchIterator matches = option.globalMatch(mended);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        for (qsizetype i = match.capturedStart(1); i < match.capturedEnd(1); ++i) {
            if (mended.at(i) == u'1') {
                mended[i] = u'l';
            }
        }
    }
    return mended;
}

// Names every program uses, with an "l" the engine reads as "i", "I" or "1" in small type
// ("printin!", "Ien(x)").
bool isWellKnownName(const QString &token)
{
    static const QSet<QString> names = {
        QStringLiteral("println"),  QStringLiteral("eprintln"),   QStringLiteral("len"),
        QStringLiteral("strlen"),   QStringLiteral("self"),       QStringLiteral("else"),
        QStringLiteral("elif"),     QStringLiteral("while"),      QStringLiteral("null"),
        QStringLiteral("nullptr"),  QStringLiteral("false"),      QStringLiteral("False"),
        QStringLiteral("bool"),     QStringLiteral("float"),      QStringLiteral("class"),
        QStringLiteral("include"),  QStringLiteral("isinstance"), QStringLiteral("lambda"),
        QStringLiteral("global"),   QStringLiteral("public"),     QStringLiteral("final"),
        QStringLiteral("volatile"), QStringLiteral("double"),     QStringLiteral("length"),
        QStringLiteral("value"),    QStringLiteral("values"),     QStringLiteral("let"),
        QStringLiteral("malloc"),   QStringLiteral("calloc"),     QStringLiteral("realloc"),
    };
    return names.contains(token);
}

bool isReadForL(QChar c)
{
    return c == u'i' || c == u'I' || c == u'1';
}

// The well-known name that the token is with one or two of its "l"s read as look-alikes; the
// token itself when it is none or a name of its own.
QString withLettersOfAWellKnownName(const QString &token)
{
    if (token.size() < 3 || isWellKnownName(token)) {
        return token;
    }
    QList<qsizetype> places;
    for (qsizetype i = 0; i < token.size(); ++i) {
        if (isReadForL(token.at(i))) {
            places.append(i);
        }
    }
    constexpr qsizetype maxPlaces = 6;
    if (places.isEmpty() || places.size() > maxPlaces) {
        return token;
    }
    // Every choice of one or two places, fewest first.
    for (qsizetype first = 0; first < places.size(); ++first) {
        QString one = token;
        one[places.at(first)] = u'l';
        if (isWellKnownName(one)) {
            return one;
        }
    }
    for (qsizetype first = 0; first < places.size(); ++first) {
        for (qsizetype second = first + 1; second < places.size(); ++second) {
            QString two = token;
            two[places.at(first)] = u'l';
            two[places.at(second)] = u'l';
            if (isWellKnownName(two)) {
                return two;
            }
        }
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
    // A number with a dotted or slashed zero ("return ð;").
    if (std::any_of(token.begin(), token.end(), isZeroLookAlike) &&
        std::all_of(token.begin(), token.end(),
                    [](QChar c) { return c.isDigit() || isZeroLookAlike(c); })) {
        QString number = token;
        for (QChar &c : number) {
            c = isZeroLookAlike(c) ? u'0' : c;
        }
        return number;
    }
    if (token.size() > 1 && token.at(0) == u'S' && isWellKnownVariable(QStringView(token).mid(1)) &&
        !isWellKnownVariable(token)) {
        return u'$' + token.mid(1);
    }
    // A constant's name in capitals.
    const bool isHex = token.startsWith(QLatin1String("0X"), Qt::CaseInsensitive);
    if (zeros > 0 && ones == 0 && otherDigits == 0 && lower == 0 && upper >= 3 && !isHex) {
        return replacedBeforeLetters(token, u'0', u'O', true);
    }
    if (const QString name = withLettersOfAWellKnownName(token); name != token) {
        return name;
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
            result +=
                line.at(i) == u'@' && isOperandPlace(nearest(line, i, -1), nearest(line, i, 1))
                    ? QChar(u'0')
                    : straightened(line.at(i));
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
        result += correctedToken(token, nearest(line, i, -1), nearest(line, end - 1, 1));
        i = end;
    }
    return withLetterOptions(withShellWordsMended(
        withQuotesPaired(withNullEscapes(withIndexBracketsPaired(withBracketsPaired(result))))));
}

} // namespace CodeTokens
