// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/GridText.h"

#include "KeloLens/Recognition/CellInk.h"
#include "KeloLens/Recognition/CodeTokens.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <vector>

namespace {

using GridText::CharacterReader;
using GridText::Grid;

// A character this close to a cell's middle is surely in that cell.
constexpr double anchorTolerance = 0.25;
constexpr double maxAnchorWidth = 1.4;
// A character's box this much wider than a cell may have taken in its neighbour's ink.
constexpr double wideCharacter = 1.1;
constexpr double minCentredShare = 0.75;
// Two characters sharing this much of the narrower one's width are one glyph read twice.
constexpr double readTwiceShare = 0.5;

double centreOf(const QRect &box)
{
    return box.left() + box.width() / 2.0;
}

// A word has no spaces: its cells are the one run of inked cells under it. When it was read with
// as many characters as that run has cells, they take those cells one to one. The engine's
// boxes drift near the end of a line ("None):" with the "e" on the "n"'s cell and the ")" and
// ":" a cell early), and placed by their boxes two characters would share a cell while the last
// cell of ink went unread. With one character too many, where two of them lie mostly on the same
// ink, the engine read one glyph twice ("-l" as "-1l"): the two share a cell, to be read again.
void fitWordsToTheirInk(const QImage &image, const LineReading &line, const Grid &grid,
                        std::vector<std::pair<int, int>> &spans, std::vector<bool> &isAnchor,
                        std::vector<bool> &isWide)
{
    const auto inked = [&](int c) { return CellInk::holdsInk(image, line, grid, c); };
    const auto cellAt = [&](double x) { return int(std::floor((x - grid.origin) / grid.cell)); };
    for (qsizetype w = 0; w < line.wordBoxes.size(); ++w) {
        std::vector<size_t> members;
        for (qsizetype i = 0; i < line.symbols.size(); ++i) {
            if (line.symbols.at(i).word == int(w)) {
                members.push_back(size_t(i));
            }
        }
        const int count = int(members.size());
        // One underscore read for several spans cells of its own.
        if (count == 0 || std::any_of(members.begin(), members.end(),
                                      [&](size_t i) { return spans[i].second != 1; })) {
            continue;
        }
        const QRect &box = line.wordBoxes.at(w);
        const int middle = cellAt(centreOf(box));
        if (!inked(middle)) {
            continue;
        }
        int from = middle;
        int to = middle;
        while (to - from < count && inked(from - 1)) {
            --from;
        }
        while (to - from < count && inked(to + 1)) {
            ++to;
        }
        const int cells = to - from + 1;
        // The run must be the word's, give or take the edge of a box: not a neighbour's too.
        if (cells > count || inked(from - 1) || inked(to + 1) || from < cellAt(box.left()) - 1 ||
            to > cellAt(box.right()) + 1) {
            continue;
        }
        size_t twice = members.size();
        if (cells == count - 1) {
            double mostShared = 0;
            for (size_t k = 0; k + 1 < members.size(); ++k) {
                const QRect &a = line.symbols.at(qsizetype(members[k])).box;
                const QRect &b = line.symbols.at(qsizetype(members[k + 1])).box;
                const int shared =
                    std::min(a.right(), b.right()) - std::max(a.left(), b.left()) + 1;
                const double share = double(shared) / std::max(1, std::min(a.width(), b.width()));
                if (share >= readTwiceShare && share > mostShared) {
                    mostShared = share;
                    twice = k + 1;
                }
            }
            if (twice == members.size()) {
                continue;
            }
        } else if (cells != count) {
            continue;
        }
        int cell = from;
        for (size_t k = 0; k < members.size(); ++k) {
            cell -= k == twice ? 1 : 0;
            spans[members[k]] = {cell, 1};
            isAnchor[members[k]] = true;
            isWide[members[k]] = false;
            ++cell;
        }
    }
}

// Which cell each character takes. Those near a cell's middle take that cell; the engine's
// loosely placed ones fill the cells between in order.
std::vector<std::pair<int, int>> cellsOf(const QImage &image, const LineReading &line,
                                         const Grid &grid)
{
    const qsizetype count = line.symbols.size();
    std::vector<std::pair<int, int>> spans(
        static_cast<size_t>(count)); // first cell, number of cells
    std::vector<bool> isAnchor(size_t(count), false);
    std::vector<bool> isWide(size_t(count), false);
    std::vector<double> places(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        const SymbolReading &symbol = line.symbols.at(i);
        if (symbol.text == QLatin1String("_") && symbol.box.width() >= 1.5 * grid.cell) {
            // One underscore read for several.
            spans[size_t(i)] = {int(std::lround((symbol.box.left() - grid.origin) / grid.cell)),
                                int(std::lround(symbol.box.width() / grid.cell))};
            isAnchor[size_t(i)] = true;
            continue;
        }
        places[size_t(i)] = (centreOf(symbol.box) - grid.origin) / grid.cell - 0.5;
        const double nearest = std::round(places[size_t(i)]);
        spans[size_t(i)] = {int(nearest), 1};
        // A box wider than a cell holds more than its character: where in it the character
        // lies is anyone's guess.
        isWide[size_t(i)] = symbol.box.width() > maxAnchorWidth * grid.cell;
        isAnchor[size_t(i)] =
            std::abs(places[size_t(i)] - nearest) <= anchorTolerance && !isWide[size_t(i)];
    }
    fitWordsToTheirInk(image, line, grid, spans, isAnchor, isWide);
    // Anchors must run left to right; one that does not is loose after all.
    int reach = std::numeric_limits<int>::min();
    for (qsizetype i = 0; i < count; ++i) {
        if (isAnchor[size_t(i)]) {
            if (spans[size_t(i)].first < reach) {
                isAnchor[size_t(i)] = false;
            } else {
                reach = spans[size_t(i)].first + spans[size_t(i)].second;
            }
        }
    }
    // Loose characters between two placed ones take the cells with ink between them, in order,
    // when there are as many.
    std::vector<bool> isPlaced = isAnchor;
    for (qsizetype i = 0; i < count;) {
        if (isPlaced[size_t(i)]) {
            ++i;
            continue;
        }
        qsizetype end = i;
        int left = std::numeric_limits<int>::max();
        int right = std::numeric_limits<int>::min();
        while (end < count && !isPlaced[size_t(end)]) {
            const QRect &box = line.symbols.at(end).box;
            left = std::min(left, int(std::floor((box.left() - grid.origin) / grid.cell)));
            right = std::max(right, int(std::floor((box.right() - grid.origin) / grid.cell)));
            ++end;
        }
        const int from = i > 0 ? spans[size_t(i - 1)].first + spans[size_t(i - 1)].second : left;
        const int to = end < count ? spans[size_t(end)].first - 1 : right;
        std::vector<int> inked;
        for (int c = from; c <= to && inked.size() <= size_t(end - i); ++c) {
            if (CellInk::holdsInk(image, line, grid, c)) {
                inked.push_back(c);
            }
        }
        if (inked.size() == size_t(end - i)) {
            for (qsizetype n = i; n < end; ++n) {
                spans[size_t(n)] = {inked[size_t(n - i)], 1};
                isPlaced[size_t(n)] = true;
            }
        }
        i = end;
    }
    // A character in too wide a box, next to a placed one of its own word, takes the cell beside
    // it.
    const auto sameWord = [&](qsizetype a, qsizetype b) {
        return line.symbols.at(a).word == line.symbols.at(b).word;
    };
    for (qsizetype i = 1; i < count; ++i) {
        if (isWide[size_t(i)] && !isPlaced[size_t(i)] && isPlaced[size_t(i - 1)] &&
            sameWord(i, i - 1)) {
            spans[size_t(i)] = {spans[size_t(i - 1)].first + spans[size_t(i - 1)].second, 1};
            isPlaced[size_t(i)] = true;
        }
    }
    for (qsizetype i = count - 2; i >= 0; --i) {
        if (isWide[size_t(i)] && !isPlaced[size_t(i)] && isPlaced[size_t(i + 1)] &&
            sameWord(i, i + 1)) {
            spans[size_t(i)] = {spans[size_t(i + 1)].first - 1, 1};
            isPlaced[size_t(i)] = true;
        }
    }
    // The rest fill the cells between their placed neighbours, in order.
    for (qsizetype i = 0; i < count;) {
        if (isPlaced[size_t(i)]) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < count && !isPlaced[size_t(end)]) {
            ++end;
        }
        const int loose = int(end - i);
        const bool hasBefore = i > 0;
        const bool hasAfter = end < count;
        const int from = hasBefore ? spans[size_t(i - 1)].first + spans[size_t(i - 1)].second
                                   : std::numeric_limits<int>::min() / 2;
        const int to =
            hasAfter ? spans[size_t(end)].first - 1 : std::numeric_limits<int>::max() / 2;
        for (int n = 0; n < loose; ++n) {
            int cell = int(std::lround(places[size_t(i + n)]));
            if (hasBefore) {
                cell = std::max(cell, from + n);
            }
            if (hasAfter) {
                cell = std::min(cell, to - (loose - 1 - n));
            }
            if (n > 0) {
                cell = std::max(cell, spans[size_t(i + n - 1)].first);
            }
            spans[size_t(i + n)] = {cell, 1};
        }
        i = end;
    }
    return spans;
}

// A character the engine placed in an empty cell, next to a cell with ink that nothing took,
// belongs there.
void moveOntoInk(const QImage &image, const LineReading &line, const Grid &grid,
                 std::vector<std::pair<int, int>> &spans)
{
    std::map<int, int> taken;
    for (const auto &[first, count] : spans) {
        for (int c = first; c < first + count; ++c) {
            ++taken[c];
        }
    }
    for (qsizetype i = 0; i < line.symbols.size(); ++i) {
        auto &[first, count] = spans[size_t(i)];
        if (count != 1 || line.symbols.at(i).text == QLatin1String("_") ||
            CellInk::holdsInk(image, line, grid, first)) {
            continue;
        }
        for (const int next : {first - 1, first + 1}) {
            if (taken[next] == 0 && CellInk::holdsInk(image, line, grid, next)) {
                --taken[first];
                ++taken[next];
                first = next;
                break;
            }
        }
    }
    // The engine can place the end of a word a cell off as a whole ("1;" of "z = 1;" one cell
    // left, the "1" on the space): the characters from one on an empty cell to the end of its
    // run in neighbouring cells move together when that puts every one of them on ink; and the
    // same for the start of a run.
    const auto isRun = [&](qsizetype a, qsizetype b) {
        return spans[size_t(a)].second == 1 && spans[size_t(b)].second == 1 &&
               spans[size_t(b)].first == spans[size_t(a)].first + 1 &&
               line.symbols.at(a).word == line.symbols.at(b).word;
    };
    const auto shiftOntoInk = [&](qsizetype from, qsizetype to, int shift) {
        const int into =
            shift > 0 ? spans[size_t(to - 1)].first + 1 : spans[size_t(from)].first - 1;
        for (qsizetype n = from; n < to; ++n) {
            if (!CellInk::holdsInk(image, line, grid, spans[size_t(n)].first + shift)) {
                return false;
            }
        }
        if (taken[into] != 0) {
            return false;
        }
        --taken[shift > 0 ? spans[size_t(from)].first : spans[size_t(to - 1)].first];
        ++taken[into];
        for (qsizetype n = from; n < to; ++n) {
            spans[size_t(n)].first += shift;
        }
        return true;
    };
    const qsizetype count = line.symbols.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (spans[size_t(i)].second != 1 || line.symbols.at(i).text == QLatin1String("_") ||
            CellInk::holdsInk(image, line, grid, spans[size_t(i)].first)) {
            continue;
        }
        qsizetype end = i + 1;
        while (end < count && isRun(end - 1, end)) {
            ++end;
        }
        qsizetype start = i;
        while (start > 0 && isRun(start - 1, start)) {
            --start;
        }
        if (!shiftOntoInk(i, end, 1)) {
            (void)shiftOntoInk(start, i + 1, -1);
        }
    }
}

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
    std::vector<std::pair<int, int>> spans = cellsOf(image, line, grid);
    moveOntoInk(image, line, grid, spans);
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
