// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/MonospaceGrid.h"

#include "KeloLens/Recognition/CodeTokens.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace {

// A line shows a grid of its own when its cell edges cut through its ink at most this often,
// over this many edges at least.
constexpr int minEdgesForOwnGrid = 8;
// Fewer edges do when none of them cuts ink.
constexpr int minCleanEdges = 5;
constexpr double ownGridCutShare = 0.15;
// The cell width is looked for this far around the one the characters' places suggest.
constexpr double cellSearchRange = 0.03;
// A short line takes a neighbour's grid when that cuts its ink this rarely; a long one, when it
// cuts it as rarely as its own would have to, with a cell this close to the neighbour's.
constexpr double borrowedGridCutShare = 0.2;
constexpr double borrowedCellRange = 0.005;
// Short lines whose own estimates of the cell width are this close are read as one.
constexpr double pooledCellRange = 0.15;
// Lines whose cells are this close in width are in the same font.
constexpr double sameFontCellRange = 0.1;
// A character this close to a cell's middle is surely in that cell.
constexpr double anchorTolerance = 0.25;
constexpr double maxAnchorWidth = 1.4;
// Monospace cells are about half as wide as a line is high.
constexpr double minCellPerHeight = 0.3;
constexpr double maxCellPerHeight = 0.9;
// Neighbours this many line heights away or closer lend their grid, when their lines are about
// as high.
constexpr double neighbourReach = 8;
constexpr double neighbourHeightRatio = 1.5;
// An underscore: a stroke along the cell's foot, across most of it.
// Lighter than text ink: scaling leaves a one-pixel stroke grey.
constexpr int inkLevel = 192;
constexpr int textInkLevel = 128;
constexpr double underscoreCoverage = 0.7;
constexpr double underscoreThickness = 0.2;

struct Grid
{
    double origin = 0; // left edge of the first character's cell
    double cell = 0;
};

double centreOf(const QRect &box)
{
    return box.left() + box.width() / 2.0;
}

bool countsForFit(const SymbolReading &symbol)
{
    // An underscore the engine read once for two spans both cells; its centre is on neither.
    return !symbol.box.isEmpty() && symbol.text != QLatin1String("_");
}

// Cell widths suggested by neighbouring characters of one word.
std::optional<double> neighbourDistance(const QList<SymbolReading> &symbols)
{
    std::vector<double> distances;
    for (qsizetype i = 1; i < symbols.size(); ++i) {
        const SymbolReading &a = symbols.at(i - 1);
        const SymbolReading &b = symbols.at(i);
        if (a.word == b.word && countsForFit(a) && countsForFit(b)) {
            const double distance = centreOf(b.box) - centreOf(a.box);
            if (distance > 0) {
                distances.push_back(distance);
            }
        }
    }
    if (distances.size() < 3) {
        return std::nullopt;
    }
    std::nth_element(distances.begin(), distances.begin() + long(distances.size() / 2),
                     distances.end());
    return distances[distances.size() / 2];
}

// The cell width most characters' centres agree on, refined from `cell` by least squares over
// the characters within `tolerance` of a cell's middle; absent when fewer than half are.
std::optional<double> fittedCell(const QList<SymbolReading> &symbols, double cell)
{
    constexpr double tolerance = 0.25;
    std::vector<double> centres;
    for (const SymbolReading &symbol : symbols) {
        if (countsForFit(symbol)) {
            centres.push_back(centreOf(symbol.box));
        }
    }
    if (centres.size() < 2 || cell <= 0) {
        return std::nullopt;
    }
    // Start from the phase most centres agree on, not from one that may be off.
    double sine = 0;
    double cosine = 0;
    for (double centre : centres) {
        sine += std::sin(2 * M_PI * centre / cell);
        cosine += std::cos(2 * M_PI * centre / cell);
    }
    double middle = std::atan2(sine, cosine) / (2 * M_PI) * cell;
    for (int pass = 0; pass < 3; ++pass) {
        double n = 0;
        double sumK = 0;
        double sumC = 0;
        double sumKK = 0;
        double sumKC = 0;
        for (double centre : centres) {
            const double k = std::round((centre - middle) / cell);
            if (std::abs(centre - (middle + k * cell)) <= tolerance * cell) {
                n += 1;
                sumK += k;
                sumC += centre;
                sumKK += k * k;
                sumKC += k * centre;
            }
        }
        const double spread = n * sumKK - sumK * sumK;
        if (n < 0.5 * double(centres.size()) || spread <= 0) {
            return std::nullopt;
        }
        cell = (n * sumKC - sumK * sumC) / spread;
        if (cell <= 0) {
            return std::nullopt;
        }
        middle = (sumC - cell * sumK) / n;
    }
    return cell;
}

// Which columns of a line's ink hold any, and which lie inside its words.
struct InkColumns
{
    int left = 0;
    std::vector<bool> hasInk;
    std::vector<bool> isInWord;
};

InkColumns inkColumns(const QImage &image, const LineReading &line)
{
    const QRect ink = line.inkBox & image.rect();
    const auto width = size_t(std::max(0, ink.width()));
    InkColumns columns{ink.left(), std::vector<bool>(width, false),
                       std::vector<bool>(width, false)};
    // Above the baseline only: underscores and the tails of commas reach across cell edges.
    const int bottom =
        line.baseline > ink.top() ? std::min(ink.bottom(), line.baseline - 2) : ink.bottom();
    for (int y = ink.top(); y <= bottom; ++y) {
        const uchar *row = image.constScanLine(y);
        for (int x = ink.left(); x <= ink.right(); ++x) {
            if (row[x] < textInkLevel) {
                columns.hasInk[size_t(x - ink.left())] = true;
            }
        }
    }
    for (const QRect &word : line.wordBoxes) {
        for (int x = std::max(word.left(), ink.left()); x <= std::min(word.right(), ink.right());
             ++x) {
            columns.isInWord[size_t(x - ink.left())] = true;
        }
    }
    return columns;
}

struct Cuts
{
    int edges = 0;
    int cuts = 0;
};

// How many of the grid's cell edges within the line's words cut through ink. Monospace
// characters keep within their cells, so a line on its grid is cut almost nowhere; proportional
// characters straddle any grid laid over them. (Edges in the gaps between words cut nothing
// whatever the font, and so say nothing.)
Cuts cutsOf(const InkColumns &ink, double cell, double phase)
{
    Cuts counted;
    const auto width = qsizetype(ink.hasInk.size());
    for (double x = phase; x < double(width); x += cell) {
        const auto column = qsizetype(std::lround(x));
        if (column <= 0 || column >= width - 1 || !ink.isInWord[size_t(column)]) {
            continue;
        }
        ++counted.edges;
        counted.cuts += ink.hasInk[size_t(column)] ? 1 : 0;
    }
    return counted;
}

// The grid, with cells between `narrowest` and `widest`, that cuts the line's ink least; absent
// when it still cuts more than `maxCutShare` of its edges, or has fewer than `minEdges`. Of
// equally good grids, the one whose cell middles lie nearest the characters' centres.
std::optional<Grid> bestGrid(const InkColumns &ink, const QList<SymbolReading> &symbols,
                             double narrowest, double widest, double maxCutShare, int minEdges)
{
    // Fine enough that the last cell of the line is off by less than a pixel.
    const double cellStep =
        std::clamp(0.4 * narrowest / std::max(1.0, double(ink.hasInk.size())), 0.005, 0.25);
    constexpr double phaseStep = 0.5;
    std::vector<double> centres;
    for (const SymbolReading &symbol : symbols) {
        if (countsForFit(symbol)) {
            centres.push_back(centreOf(symbol.box) - ink.left);
        }
    }
    std::optional<Grid> best;
    double bestScore = std::numeric_limits<double>::max();
    const double expected = (narrowest + widest) / 2;
    for (double cell = narrowest; cell <= widest + 1e-9; cell += cellStep) {
        for (double phase = 0; phase < cell; phase += phaseStep) {
            const Cuts cuts = cutsOf(ink, cell, phase);
            if (cuts.edges < minEdges || cuts.cuts > maxCutShare * double(cuts.edges)) {
                continue;
            }
            double offMiddle = 0;
            for (double centre : centres) {
                const double place = (centre - phase) / cell - 0.5;
                offMiddle += std::abs(place - std::round(place));
            }
            // Fewer cuts first; then the cell nearest the characters' own spacing, and the
            // characters nearest the middles of their cells.
            const double score = (cuts.edges > 0 ? double(cuts.cuts) / cuts.edges : 0) +
                                 0.1 * std::abs(cell - expected) / std::max(1.0, expected) +
                                 0.2 * (centres.empty() ? 0 : offMiddle / double(centres.size()));
            if (score < bestScore) {
                bestScore = score;
                best = Grid{ink.left + phase, cell};
            }
        }
    }
    return best;
}

// Lines near enough and about as high to be in the same font.
bool isNear(const LineReading &a, const LineReading &b)
{
    const double low = std::max(1, std::min(a.box.height(), b.box.height()));
    const double high = std::max(a.box.height(), b.box.height());
    return high / low <= neighbourHeightRatio &&
           std::abs(a.box.center().y() - b.box.center().y()) <= neighbourReach * low;
}

bool isPlausibleCell(const LineReading &line, double cell)
{
    const double height = line.box.height();
    return height > 0 && cell >= minCellPerHeight * height && cell <= maxCellPerHeight * height;
}

// A thin stroke along the foot of the cell and across most of it, with nothing above.
bool holdsUnderscore(const QImage &image, const LineReading &line, const Grid &grid, int cell)
{
    const int height = line.box.height();
    const int x0 = int(std::ceil(grid.origin + (cell + 0.2) * grid.cell));
    const int x1 = int(std::floor(grid.origin + (cell + 0.8) * grid.cell));
    const int y0 = std::max(0, line.box.top());
    const int y1 = std::min(image.height() - 1, line.box.bottom() + height / 4);
    if (x0 < 0 || x1 >= image.width() || x1 < x0 || y1 < y0) {
        return false;
    }
    const int baseline = line.baseline > 0 ? line.baseline : line.inkBox.bottom();
    int topInk = -1;
    int bottomInk = -1;
    int coveredColumns = 0;
    for (int x = x0; x <= x1; ++x) {
        bool isCovered = false;
        for (int y = y0; y <= y1; ++y) {
            if (image.constScanLine(y)[x] < inkLevel) {
                isCovered = true;
                topInk = topInk < 0 ? y : std::min(topInk, y);
                bottomInk = std::max(bottomInk, y);
            }
        }
        coveredColumns += isCovered ? 1 : 0;
    }
    return topInk >= 0 && topInk >= baseline - height / 20 &&
           bottomInk - topInk + 1 <= std::max(2.0, underscoreThickness * height) &&
           coveredColumns >= underscoreCoverage * (x1 - x0 + 1);
}

// Whether the middle of a cell holds ink.
bool holdsInk(const QImage &image, const LineReading &line, const Grid &grid, int cell)
{
    const int x0 = int(std::ceil(grid.origin + (cell + 0.15) * grid.cell));
    const int x1 = int(std::floor(grid.origin + (cell + 0.85) * grid.cell));
    const QRect ink = line.inkBox & image.rect();
    if (x0 < 0 || x1 >= image.width() || x1 < x0 || ink.isEmpty()) {
        return false;
    }
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        const uchar *row = image.constScanLine(y);
        for (int x = x0; x <= x1; ++x) {
            if (row[x] < inkLevel) {
                return true;
            }
        }
    }
    return false;
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
            if (holdsInk(image, line, grid, c)) {
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
            holdsInk(image, line, grid, first)) {
            continue;
        }
        for (const int next : {first - 1, first + 1}) {
            if (taken[next] == 0 && holdsInk(image, line, grid, next)) {
                --taken[first];
                ++taken[next];
                first = next;
                break;
            }
        }
    }
}

// Read alone, a character is read among all the model knows; program text keeps to ASCII.
bool isPrintableAscii(const QString &character)
{
    return character.size() == 1 && character.at(0).unicode() > 0x20 &&
           character.at(0).unicode() < 0x7f;
}

// The one character in a cell, read with its neighbours when they are known (`before`, `after`:
// the characters in the cells beside it, empty for none) and the reading agrees with them, else
// alone; empty when the reader sees no single character there.
QString cellCharacter(const QImage &image, const LineReading &line, const Grid &grid, int cell,
                      const QString &before, const QString &after,
                      const MonospaceGrid::CharacterReader &readCharacter)
{
    if (!readCharacter) {
        return {};
    }
    const auto areaOf = [&](int from, int to) {
        const int left = int(std::floor(grid.origin + from * grid.cell));
        const int right = int(std::ceil(grid.origin + (to + 1) * grid.cell));
        return QRect(QPoint(left, line.box.top()), QPoint(right, line.box.bottom())) & image.rect();
    };
    const bool isBefore = before.size() == 1;
    const bool isAfter = after.size() == 1;
    if (isBefore || isAfter) {
        const int expected = 1 + (isBefore ? 1 : 0) + (isAfter ? 1 : 0);
        QString read =
            readCharacter(areaOf(cell - (isBefore ? 1 : 0), cell + (isAfter ? 1 : 0)), expected)
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
    QString read = readCharacter(areaOf(cell, cell), 1).trimmed();
    if (read.size() == 1) {
        read[0] = CodeTokens::straightened(read.at(0));
    }
    return isPrintableAscii(read) ? read : QString();
}

// What an empty cell holds: a space, or a character the engine missed.
QString missedCharacter(const QImage &image, const LineReading &line, const Grid &grid, int cell,
                        const std::map<int, QString> &cells,
                        const MonospaceGrid::CharacterReader &readCharacter)
{
    if (!readCharacter || !holdsInk(image, line, grid, cell)) {
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

// The line written out cell by cell; `firstCell` is where it starts. The engine places
// underscores loosely, and reads two as one or one as two: an empty cell holds an underscore
// when its own ink says so, and where the engine saw one that the ink does not show.
QString textOnGrid(const QImage &image, const LineReading &line, const Grid &grid,
                   const MonospaceGrid::CharacterReader &readCharacter, int &firstCell)
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
        return known != strokes.end() ? known->second
                                      : (strokes[c] = holdsUnderscore(image, line, grid, c));
    };
    // Where the engine's characters do not fill the cells with ink one to one, it misread: it
    // makes up letters in the wide spaces of "* r * r", doubles one up, or drops one. Characters
    // on empty cells go; the cells around them, doubled-up cells and cells with ink that nothing
    // took are read again. Characters sitting one to one on their ink stay, as read in context.
    std::set<int> dropped;
    std::set<int> suspect;
    for (qsizetype w = 0; w < line.wordBoxes.size(); ++w) {
        std::vector<int> taken = cellsOfWord[int(w)];
        std::sort(taken.begin(), taken.end());
        for (size_t n = 0; n < taken.size(); ++n) {
            const int c = taken[n];
            if (!holdsInk(image, line, grid, c)) {
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

    const auto knownAt = [&](int c) {
        const auto it = cells.find(c);
        return it != cells.end() && suspect.count(c) == 0 ? it->second : QString();
    };
    std::set<int> reread;
    for (int c : suspect) {
        if (!holdsInk(image, line, grid, c) || hasStroke(c)) {
            continue;
        }
        const QString read =
            cellCharacter(image, line, grid, c, knownAt(c - 1), knownAt(c + 1), readCharacter);
        if (!read.isEmpty()) {
            cells[c] = read;
        }
        reread.insert(c);
    }
    firstCell = first;
    QString text;
    for (int c = first; c <= last; ++c) {
        const auto it = cells.find(c);
        if (it != cells.end()) {
            text += it->second;
        } else if (hasStroke(c) ||
                   (underscoresSeen.count(c) > 0 && !hasStroke(c - 1) && !hasStroke(c + 1))) {
            text += QLatin1Char('_');
        } else if (reread.count(c) == 0) {
            text += missedCharacter(image, line, grid, c, cells, readCharacter);
        } else {
            text += QLatin1Char(' ');
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

// Lines in one monospace font are as high as each other whatever their letters, so that the
// gaps between them, which tell paragraphs apart, are measured alike. The engine fits a row
// without descenders short; the tallest fit among the lines of the same cell width is the font's.
void giveGridLinesOneHeight(QList<LineReading> &lines)
{
    const auto hasFit = [](const LineReading &line) {
        return line.cellWidth > 0 && line.baseline > line.box.top() &&
               line.baseline < line.box.bottom();
    };
    const QList<LineReading> measured = lines;
    for (LineReading &line : lines) {
        if (!hasFit(line)) {
            continue;
        }
        int ascent = 0;
        int descent = 0;
        for (const LineReading &other : measured) {
            if (hasFit(other) &&
                std::abs(other.cellWidth - line.cellWidth) <= sameFontCellRange * line.cellWidth) {
                ascent = std::max(ascent, other.baseline - other.box.top());
                descent = std::max(descent, other.box.bottom() - other.baseline);
            }
        }
        line.box.setTop(std::min(line.box.top(), line.baseline - ascent));
        line.box.setBottom(std::max(line.box.bottom(), line.baseline + descent));
    }
}

void placeOnGrid(const QImage &image, LineReading &line, const Grid &grid,
                 const MonospaceGrid::CharacterReader &readCharacter)
{
    int firstCell = 0;
    line.text = CodeTokens::corrected(textOnGrid(image, line, grid, readCharacter, firstCell));
    line.cellWidth = grid.cell;
    const int right = line.box.right();
    line.box.setLeft(int(std::lround(grid.origin + firstCell * grid.cell)));
    line.box.setRight(std::max(right, line.box.left()));
}

} // namespace

namespace MonospaceGrid {

void apply(QList<LineReading> &lines, const QImage &image, const CharacterReader &readCharacter)
{
    std::vector<std::optional<Grid>> grids(size_t(lines.size()));
    std::vector<bool> isJudged(size_t(lines.size()), false);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LineReading &line = lines.at(i);
        const std::optional<double> distance = neighbourDistance(line.symbols);
        if (!distance) {
            continue;
        }
        const InkColumns ink = inkColumns(image, line);
        // Most characters' places give the cell width closely; the ink says whether the line
        // really is on that grid, and where its edges lie.
        const std::optional<double> cell = fittedCell(line.symbols, *distance);
        const std::optional<Grid> grid =
            cell ? bestGrid(ink, line.symbols, (1 - cellSearchRange) * *cell,
                            (1 + cellSearchRange) * *cell, ownGridCutShare, minEdgesForOwnGrid)
                 : std::nullopt;
        // Lines with words too short to tell take their neighbours' grid instead.
        const auto inWords = std::count(ink.isInWord.begin(), ink.isInWord.end(), true);
        isJudged[size_t(i)] = double(inWords) >= (minEdgesForOwnGrid + 1) * *distance;
        if (grid && isPlausibleCell(line, grid->cell)) {
            grids[size_t(i)] = grid;
        }
    }
    // Short lines can together show a grid that none shows alone: a snippet of braces and short
    // statements.
    std::vector<std::optional<double>> estimates(size_t(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (grids[size_t(i)] || isJudged[size_t(i)]) {
            continue;
        }
        const std::optional<double> distance = neighbourDistance(lines.at(i).symbols);
        estimates[size_t(i)] = distance ? fittedCell(lines.at(i).symbols, *distance) : std::nullopt;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!estimates[size_t(i)]) {
            continue;
        }
        const LineReading &line = lines.at(i);
        std::vector<qsizetype> pool;
        std::vector<double> cells;
        for (qsizetype j = 0; j < lines.size(); ++j) {
            const LineReading &other = lines.at(j);
            if (estimates[size_t(j)] && isNear(line, other) &&
                std::abs(*estimates[size_t(j)] - *estimates[size_t(i)]) <=
                    pooledCellRange * *estimates[size_t(i)]) {
                pool.push_back(j);
                cells.push_back(*estimates[size_t(j)]);
            }
        }
        std::nth_element(cells.begin(), cells.begin() + long(cells.size() / 2), cells.end());
        const double cell = cells[cells.size() / 2];
        Cuts total;
        std::vector<std::pair<qsizetype, Grid>> found;
        for (qsizetype j : pool) {
            const InkColumns ink = inkColumns(image, lines.at(j));
            const std::optional<Grid> grid =
                bestGrid(ink, lines.at(j).symbols, (1 - cellSearchRange) * cell,
                         (1 + cellSearchRange) * cell, borrowedGridCutShare, 1);
            if (grid) {
                const Cuts cuts = cutsOf(ink, grid->cell, grid->origin - ink.left);
                total.edges += cuts.edges;
                total.cuts += cuts.cuts;
                found.push_back({j, *grid});
            }
        }
        const bool isGrid =
            (total.edges >= minEdgesForOwnGrid && total.cuts <= ownGridCutShare * total.edges) ||
            (total.edges >= minCleanEdges && total.cuts == 0);
        if (isGrid) {
            for (const auto &[j, grid] : found) {
                grids[size_t(j)] = grid;
                estimates[size_t(j)].reset();
            }
        }
        estimates[size_t(i)].reset();
    }

    // Lines that show no grid of their own may sit on a neighbour's: a short line, or one whose
    // characters the engine placed too loosely to tell the cell width.
    std::vector<std::optional<Grid>> borrowed(size_t(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LineReading &line = lines.at(i);
        if (grids[size_t(i)] || line.symbols.isEmpty()) {
            continue;
        }
        const double height = line.box.height();
        const InkColumns ink = inkColumns(image, line);
        double nearest = neighbourReach * height;
        for (qsizetype j = 0; j < lines.size(); ++j) {
            const LineReading &other = lines.at(j);
            if (!grids[size_t(j)]) {
                continue;
            }
            const double ratio = std::max(height, double(other.box.height())) /
                                 std::max(1.0, std::min(height, double(other.box.height())));
            const double distance = std::abs(other.box.center().y() - line.box.center().y());
            if (ratio > neighbourHeightRatio || distance > nearest) {
                continue;
            }
            const double cell = grids[size_t(j)]->cell;
            std::optional<Grid> grid =
                isJudged[size_t(i)]
                    ? bestGrid(ink, line.symbols, (1 - borrowedCellRange) * cell,
                               (1 + borrowedCellRange) * cell, ownGridCutShare, minEdgesForOwnGrid)
                    : bestGrid(ink, line.symbols, cell, cell, borrowedGridCutShare, 0);
            if (!grid) {
                continue;
            }
            borrowed[size_t(i)] = grid;
            nearest = distance;
        }
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!grids[size_t(i)]) {
            grids[size_t(i)] = borrowed[size_t(i)];
        }
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (grids[size_t(i)]) {
            placeOnGrid(image, lines[i], *grids[size_t(i)], readCharacter);
        }
    }
    giveGridLinesOneHeight(lines);
}

} // namespace MonospaceGrid
