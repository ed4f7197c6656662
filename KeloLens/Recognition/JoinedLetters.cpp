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
            result += line.at(i++);
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
