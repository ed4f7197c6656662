// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/GridCells.h"

#include "KeloLens/Recognition/CellInk.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

using GridCells::anchorTolerance;
using GridCells::centreOf;
using GridText::Grid;

constexpr double maxAnchorWidth = 1.4;
// Two characters sharing this much of the narrower one's width are one glyph read twice.
constexpr double readTwiceShare = 0.5;

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

} // namespace

namespace GridCells {

double centreOf(const QRect &box)
{
    return box.left() + box.width() / 2.0;
}

std::vector<std::pair<int, int>> placed(const QImage &image, const LineReading &line,
                                        const Grid &grid)
{
    std::vector<std::pair<int, int>> spans = cellsOf(image, line, grid);
    moveOntoInk(image, line, grid, spans);
    return spans;
}

} // namespace GridCells
