// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/JoinedLetters.h"

#include <algorithm>

namespace {

// Shorter words offer too many near misses to choose from.
constexpr qsizetype minWordLength = 4;

QString mendedWord(const QString &word, const WordCheck &isWord)
{
    if (word.size() < minWordLength ||
        !std::all_of(word.begin(), word.end(), [](QChar c) { return c.isLetter(); }) ||
        isWord(word)) {
        return word;
    }
    // The narrow space after a word of one capital letter is lost ("Aself-contained").
    const QString first = word.left(1);
    const QString rest = word.mid(1);
    if ((first == u"A" || first == u"I") && rest.at(0).isLower() && isWord(first) && isWord(rest)) {
        return first + u' ' + rest;
    }
    static const std::pair<QString, QString> swaps[] = {
        {QStringLiteral("m"), QStringLiteral("rn")}, {QStringLiteral("rn"), QStringLiteral("m")}};
    for (const auto &[from, to] : swaps) {
        for (qsizetype at = word.indexOf(from); at >= 0; at = word.indexOf(from, at + 1)) {
            QString candidate = word;
            candidate.replace(at, from.size(), to);
            if (isWord(candidate)) {
                return candidate;
            }
        }
    }
    return word;
}

// The letters of the word that ends just before `end`.
QString wordBefore(const QString &line, qsizetype end)
{
    qsizetype start = end;
    while (start > 0 && line.at(start - 1).isLetter()) {
        --start;
    }
    return line.mid(start, end - start);
}

// The letters of the word that starts at `start`.
QString wordFrom(const QString &line, qsizetype start)
{
    qsizetype end = start;
    while (end < line.size() && line.at(end).isLetter()) {
        ++end;
    }
    return line.mid(start, end - start);
}

// A narrow gap between two words of a label read as a stroke ("Open1Recent", "Open|Recent"):
// a "1" or "|" between a small and a capital letter, with words on both sides.
bool isSpaceReadAsStroke(const QString &line, qsizetype at, const WordCheck &isWord)
{
    if ((line.at(at) != u'1' && line.at(at) != u'|') || at == 0 || at + 1 >= line.size() ||
        !line.at(at - 1).isLower() || !line.at(at + 1).isUpper()) {
        return false;
    }
    const QString before = wordBefore(line, at);
    const QString after = wordFrom(line, at + 1);
    return before.size() >= 2 && after.size() >= 2 && isWord(before) && isWord(after);
}

} // namespace

namespace JoinedLetters {

QString mended(const QString &line, const WordCheck &isWord)
{
    if (!isWord) {
        return line;
    }
    QString result;
    result.reserve(line.size() + 2);
    for (qsizetype i = 0; i < line.size();) {
        if (!line.at(i).isLetter()) {
            result += isSpaceReadAsStroke(line, i, isWord) ? QChar(u' ') : line.at(i);
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < line.size() && line.at(end).isLetter()) {
            ++end;
        }
        result += mendedWord(line.mid(i, end - i), isWord);
        i = end;
    }
    return result;
}

} // namespace JoinedLetters
