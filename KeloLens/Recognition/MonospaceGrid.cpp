// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/MonospaceGrid.h"

#include "KeloLens/Recognition/CodeTokens.h"
#include "KeloLens/Recognition/GridText.h"

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
// Monospace cells are about half as wide as a line is high.
constexpr double minCellPerHeight = 0.3;
constexpr double maxCellPerHeight = 0.9;
// Neighbours this many line heights away or closer lend their grid, when their lines are about
// as high.
constexpr double neighbourReach = 8;
constexpr double neighbourHeightRatio = 1.5;
// Darker than any anti-aliased fringe: ink that shows where a character's cell ends. Halfway
// from the word's darkest ink to white, not a fixed shade: grey text on a screen whose darkest
// part is a black bar keeps its grey, and its thin stems would count as gaps, every grid laid
// over a proportional line then cutting nothing.
constexpr double textInkShare = 0.5;

using GridText::Grid;

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
    if (ink.isEmpty()) {
        return columns;
    }
    // Above the baseline only: underscores and the tails of commas reach across cell edges.
    const int bottom =
        line.baseline > ink.top() ? std::min(ink.bottom(), line.baseline - 2) : ink.bottom();
    // Each word against its own darkest ink: a line the engine ran together from a dark icon and
    // grey text beside it would otherwise lose the grey text's stems.
    for (const QRect &word : line.wordBoxes) {
        const int left = std::max(word.left(), ink.left());
        const int right = std::min(word.right(), ink.right());
        if (left > right) {
            continue;
        }
        int darkest = 255;
        for (int y = ink.top(); y <= bottom; ++y) {
            const uchar *row = image.constScanLine(y);
            darkest = std::min<int>(darkest, *std::min_element(row + left, row + right + 1));
        }
        const double level = darkest + textInkShare * (255 - darkest);
        for (int y = ink.top(); y <= bottom; ++y) {
            const uchar *row = image.constScanLine(y);
            for (int x = left; x <= right; ++x) {
                if (row[x] < level) {
                    columns.hasInk[size_t(x - ink.left())] = true;
                }
            }
        }
        for (int x = left; x <= right; ++x) {
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
    line.text =
        CodeTokens::corrected(GridText::textOnGrid(image, line, grid, readCharacter, firstCell));
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
