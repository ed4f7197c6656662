// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/GridText.h"

#include "KeloLens/Recognition/CellInk.h"
#include "KeloLens/Recognition/CodeTokens.h"
#include "KeloLens/Recognition/GridCells.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <vector>

namespace {

using GridText::CharacterReader;
using GridText::Grid;

using GridCells::anchorTolerance;
using GridCells::centreOf;

// A character's box this much wider than a cell may have taken in its neighbour's ink.
constexpr double wideCharacter = 1.1;
constexpr double minCentredShare = 0.75;

// The cells `from` to `to` of the line, over its full height.
QRect cellsArea(const QImage &image, const LineReading &line, const Grid &grid, int from, int to)
{
    const int left = int(std::floor(grid.origin + from * grid.cell));
    const int right = int(std::ceil(grid.origin + (to + 1) * grid.cell));
    return QRect(QPoint(left, line.box.top()), QPoint(right, line.box.bottom())) & image.rect();
}

// Read alone, a character is read among all the model knows; program text keeps to ASCII.
bool isPrintableAscii(QChar c)
{
    return c.unicode() > 0x20 && c.unicode() < 0x7f;
}

bool isPrintableAscii(const QString &character)
{
    return character.size() == 1 && isPrintableAscii(character.at(0));
}

// The one character in a cell, read with its neighbours when they are known (`before`, `after`:
// the characters in the cells beside it, empty for none) and the reading agrees with them, else
// alone; empty when the reader sees no single character there.
QString cellCharacter(const QImage &image, const LineReading &line, const Grid &grid, int cell,
                      const QString &before, const QString &after,
                      const CharacterReader &readCharacter)
{
    if (!readCharacter) {
        return {};
    }
    const bool isBefore = before.size() == 1;
    const bool isAfter = after.size() == 1;
    if (isBefore || isAfter) {
        const int expected = 1 + (isBefore ? 1 : 0) + (isAfter ? 1 : 0);
        QString read = readCharacter(cellsArea(image, line, grid, cell - (isBefore ? 1 : 0),
                                               cell + (isAfter ? 1 : 0)),
                                     expected)
                           .remove(QLatin1Char(' '))
                           .trimmed();
        for (QChar &c : read) {
            c = CodeTokens::straightened(c);
        }
        if (read.size() == expected && (!isBefore || read.startsWith(before)) &&
            (!isAfter || read.endsWith(after))) {
            const QString middle = read.mid(isBefore ? 1 : 0, 1);
            return isPrintableAscii(middle) ? middle : QString();
        }
    }
    QString read = readCharacter(cellsArea(image, line, grid, cell, cell), 1).trimmed();
    if (read.size() == 1) {
        read[0] = CodeTokens::straightened(read.at(0));
    }
    return isPrintableAscii(read) ? read : QString();
}

// The characters of a word the engine read short, for its inked cells (`inked`, left to right):
// the word read again on its own, and each cell read alone, lined up with each other. Read alone,
// a cell lacks its context (a lone ";" comes out ":"); read as a word, a character can still go
// missing ("y();" as "y);"). Where both give a character for a cell, the word's is kept.
struct ShortWord
{
    std::map<int, QString> cells;
    bool isWhole = false; // read again as a word, a character for each cell
};

ShortWord shortWordCells(const QImage &image, const LineReading &line, const Grid &grid,
                         const std::vector<int> &inked, const CharacterReader &readCharacter)
{
    ShortWord shortWord;
    std::map<int, QString> &result = shortWord.cells;
    if (!readCharacter || inked.empty()) {
        return shortWord;
    }
    const auto printable = [](QString text) {
        text.remove(QLatin1Char(' '));
        for (QChar &c : text) {
            c = CodeTokens::straightened(c);
        }
        return std::all_of(text.begin(), text.end(), [](QChar c) { return isPrintableAscii(c); })
                   ? text
                   : QString();
    };
    const QString word = printable(
        readCharacter(cellsArea(image, line, grid, inked.front(), inked.back()), int(inked.size()))
            .trimmed());
    const size_t count = inked.size();
    if (size_t(word.size()) == count) {
        for (size_t n = 0; n < count; ++n) {
            result[inked[n]] = word.at(qsizetype(n));
        }
        shortWord.isWhole = true;
        return shortWord;
    }
    QString alone;
    for (const int c : inked) {
        const QString read =
            printable(readCharacter(cellsArea(image, line, grid, c, c), 1).trimmed());
        alone += read.size() == 1 ? read.at(0) : QChar(u' ');
    }
    // Lined up with the fewest changes; a cell paired with a character of the word takes it.
    const size_t m = size_t(word.size());
    std::vector<std::vector<int>> cost(count + 1, std::vector<int>(m + 1, 0));
    for (size_t i = 0; i <= count; ++i) {
        for (size_t j = 0; j <= m; ++j) {
            if (i == 0 || j == 0) {
                cost[i][j] = int(i + j);
                continue;
            }
            const int same = alone.at(qsizetype(i - 1)) == word.at(qsizetype(j - 1)) ? 0 : 1;
            cost[i][j] =
                std::min({cost[i - 1][j - 1] + same, cost[i - 1][j] + 1, cost[i][j - 1] + 1});
        }
    }
    for (size_t i = count, j = m; i > 0;) {
        const int same = j > 0 && alone.at(qsizetype(i - 1)) == word.at(qsizetype(j - 1)) ? 0 : 1;
        QChar chosen;
        if (j > 0 && cost[i][j] == cost[i - 1][j - 1] + same) {
            chosen = word.at(qsizetype(j - 1));
            --j;
        } else if (cost[i][j] == cost[i - 1][j] + 1) {
            chosen = alone.at(qsizetype(i - 1));
        } else {
            --j;
            continue;
        }
        --i;
        if (chosen != u' ') {
            result[inked[i]] = chosen;
        }
    }
    return shortWord;
}

// What an empty cell holds: a space, or a character the engine missed.
QString missedCharacter(const QImage &image, const LineReading &line, const Grid &grid, int cell,
                        const std::map<int, QString> &cells, const CharacterReader &readCharacter)
{
    if (!readCharacter || !CellInk::holdsInk(image, line, grid, cell)) {
        return QStringLiteral(" ");
    }
    const auto at = [&](int c) {
        const auto it = cells.find(c);
        return it != cells.end() ? it->second : QString();
    };
    const QString read =
        cellCharacter(image, line, grid, cell, at(cell - 1), at(cell + 1), readCharacter);
    return read.isEmpty() ? QStringLiteral(" ") : read;
}

} // namespace

namespace GridText {

QString textOnGrid(const QImage &image, const LineReading &line, const Grid &grid,
                   const CharacterReader &readCharacter, int &firstCell)
{
    std::map<int, QString> cells;
    std::set<int> underscoresSeen;
    std::map<int, std::vector<int>> cellsOfWord;
    int first = std::numeric_limits<int>::max();
    int last = std::numeric_limits<int>::min();
    const std::vector<std::pair<int, int>> spans = GridCells::placed(image, line, grid);
    for (qsizetype i = 0; i < line.symbols.size(); ++i) {
        const auto [from, count] = spans[size_t(i)];
        first = std::min(first, from);
        last = std::max(last, from + count - 1);
        for (int c = from; c < from + count; ++c) {
            if (line.symbols.at(i).text == QLatin1String("_")) {
                underscoresSeen.insert(c);
            } else {
                cells[c] += line.symbols.at(i).text;
                cellsOfWord[line.symbols.at(i).word].push_back(c);
            }
        }
    }
    if (first > last) {
        return line.text;
    }
    std::map<int, bool> strokes;
    const auto hasStroke = [&](int c) {
        const auto known = strokes.find(c);
        return known != strokes.end()
                   ? known->second
                   : (strokes[c] = CellInk::holdsUnderscore(image, line, grid, c));
    };
    // Where the engine's characters do not fill the cells with ink one to one, it misread: it
    // makes up letters in the wide spaces of "* r * r", doubles one up, or drops one. Characters
    // on empty cells go; the cells around them, doubled-up cells and cells with ink that nothing
    // took are read again. Characters sitting one to one on their ink stay, as read in context.
    std::set<int> dropped;
    std::set<int> suspect;
    std::set<int> rereadWords;
    for (qsizetype w = 0; w < line.wordBoxes.size(); ++w) {
        std::vector<int> taken = cellsOfWord[int(w)];
        std::sort(taken.begin(), taken.end());
        for (size_t n = 0; n < taken.size(); ++n) {
            const int c = taken[n];
            if (!CellInk::holdsInk(image, line, grid, c)) {
                dropped.insert(c);
            } else if (n + 1 < taken.size() && taken[n + 1] == c) {
                suspect.insert(c);
            }
        }
    }
    for (int c : dropped) {
        cells.erase(c);
        suspect.insert(c - 1);
        suspect.insert(c + 1);
    }
    // A word with more inked cells under its box than characters read lost one inside it: the
    // engine reads the "()" of "y();" as an "O" and the ")" and ";" as one ";". Its neighbours in
    // the word are as doubtful as the gap, so the whole word is read again.
    std::map<int, double> widthAt; // of the engine's character placed there, in cells
    // Characters of each word that sit in the middle of a cell: in text that only seems to be on
    // a grid (a lone word in a proportional font), few do.
    std::map<int, int> centred;
    std::map<int, int> characters;
    for (qsizetype i = 0; i < line.symbols.size(); ++i) {
        const SymbolReading &symbol = line.symbols.at(i);
        double &width = widthAt[spans[size_t(i)].first];
        width = std::max(width, symbol.box.width() / grid.cell);
        const double place = (centreOf(symbol.box) - grid.origin) / grid.cell - 0.5;
        centred[symbol.word] += std::abs(place - std::round(place)) <= anchorTolerance ? 1 : 0;
        ++characters[symbol.word];
    }
    std::map<int, int> ownerOf;
    for (const auto &[word, taken] : cellsOfWord) {
        for (const int c : taken) {
            ownerOf.emplace(c, word);
        }
    }
    for (qsizetype w = 0; w < line.wordBoxes.size(); ++w) {
        const QRect &box = line.wordBoxes.at(w);
        const std::vector<int> &taken = cellsOfWord[int(w)];
        if (taken.empty() || centred[int(w)] < minCentredShare * characters[int(w)]) {
            continue;
        }
        std::vector<int> inked;
        // Past the engine's first and last characters only where those took in more than their
        // cell: elsewhere the ink there is a border, or the same character's.
        const auto [low, high] = std::minmax_element(taken.begin(), taken.end());
        const int from = widthAt[*low] > wideCharacter
                             ? int(std::floor((box.left() - grid.origin) / grid.cell))
                             : *low;
        const int to = widthAt[*high] > wideCharacter
                           ? int(std::floor((box.right() + 1 - grid.origin) / grid.cell))
                           : *high;
        for (int c = from; c <= to; ++c) {
            const double left = grid.origin + c * grid.cell;
            const double overlap = std::min<double>(left + grid.cell, box.right() + 1) -
                                   std::max<double>(left, box.left());
            const auto owner = ownerOf.find(c);
            const bool isOthers = owner != ownerOf.end() && owner->second != int(w);
            if (overlap >= 0.25 * grid.cell && !isOthers && underscoresSeen.count(c) == 0 &&
                CellInk::holdsInk(image, line, grid, c) && !hasStroke(c)) {
                inked.push_back(c);
            }
        }
        const std::set<int> distinct(taken.begin(), taken.end());
        const bool isShort =
            std::any_of(inked.begin(), inked.end(), [&](int c) { return distinct.count(c) == 0; });
        // Two characters in one cell: the word is not on this grid, or was read long somewhere.
        if (!isShort || inked.size() <= distinct.size() || distinct.size() != taken.size()) {
            continue;
        }
        first = std::min(first, inked.front());
        last = std::max(last, inked.back());
        for (const int c : inked) {
            ownerOf.emplace(c, int(w));
        }
        const ShortWord read = shortWordCells(image, line, grid, inked, readCharacter);
        // Where the word came out whole, it agrees with the engine's characters: those stay, and
        // a cell the engine left empty is better read between them than in the word read alone
        // ("i++" as "it+").
        std::map<int, QString> inContext;
        if (read.isWhole) {
            const auto engineAt = [&](int c) {
                return distinct.count(c) > 0 ? cells[c] : QString();
            };
            for (const int c : inked) {
                inContext[c] = distinct.count(c) > 0
                                   ? cells[c]
                                   : cellCharacter(image, line, grid, c, engineAt(c - 1),
                                                   engineAt(c + 1), readCharacter);
            }
        }
        for (const auto &[c, character] : read.cells) {
            const auto context = inContext.find(c);
            cells[c] = context != inContext.end() && !context->second.isEmpty() ? context->second
                                                                                : character;
            rereadWords.insert(c);
        }
    }
    for (int c : rereadWords) {
        suspect.erase(c);
    }

    const auto knownAt = [&](int c) {
        const auto it = cells.find(c);
        return it != cells.end() && suspect.count(c) == 0 ? it->second : QString();
    };
    std::set<int> reread;
    for (int c : suspect) {
        if (!CellInk::holdsInk(image, line, grid, c) || hasStroke(c)) {
            continue;
        }
        const QString read =
            cellCharacter(image, line, grid, c, knownAt(c - 1), knownAt(c + 1), readCharacter);
        if (!read.isEmpty()) {
            cells[c] = read;
        }
        reread.insert(c);
    }
    CellInk::mendByShape(image, line, grid, cells);
    const bool isQuoting = CellInk::hasBacktick(cells);
    firstCell = first;
    QString text;
    for (int c = first; c <= last; ++c) {
        const auto it = cells.find(c);
        if (it != cells.end()) {
            text += it->second;
        } else if (hasStroke(c) ||
                   (underscoresSeen.count(c) > 0 && !hasStroke(c - 1) && !hasStroke(c + 1))) {
            text += QLatin1Char('_');
        } else {
            QString missed = reread.count(c) == 0
                                 ? missedCharacter(image, line, grid, c, cells, readCharacter)
                                 : QStringLiteral(" ");
            // A backtick the engine passed over, and could not read alone either.
            if (missed == QLatin1String(" ") && isQuoting &&
                CellInk::holdsInk(image, line, grid, c) &&
                CellInk::isRaised(image, line, grid, c)) {
                missed = QStringLiteral("`");
            }
            text += missed;
        }
    }
    // Cells at the ends that turned out empty are not part of the line.
    qsizetype leading = 0;
    while (leading < text.size() && text.at(leading) == QLatin1Char(' ')) {
        ++leading;
    }
    firstCell += int(leading);
    return text.trimmed();
}

} // namespace GridText
