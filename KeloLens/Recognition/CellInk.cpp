// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/CellInk.h"

#include <algorithm>
#include <cmath>

namespace {

using GridText::Grid;

// An underscore: a stroke along the cell's foot, across most of it.
// Lighter than text ink: scaling leaves a one-pixel stroke grey.
constexpr int inkLevel = 192;
constexpr double underscoreCoverage = 0.7;
constexpr double underscoreThickness = 0.2;
// Descenders, and underscores, reach less far below the baseline than this share of the height
// above it.
constexpr double maxDescent = 0.5;
// A round bracket's ink is under half a cell wide; a zero's or an O's, over half.
constexpr double maxBracketWidth = 0.48;

// Where the letters stand; the foot of the ink where the engine gave no baseline.
int baselineOf(const LineReading &line)
{
    return line.baseline > 0 ? line.baseline : line.inkBox.bottom();
}

} // namespace

namespace CellInk {

bool holdsUnderscore(const QImage &image, const LineReading &line, const Grid &grid, int cell)
{
    const int height = line.box.height();
    const int x0 = int(std::ceil(grid.origin + (cell + 0.2) * grid.cell));
    const int x1 = int(std::floor(grid.origin + (cell + 0.8) * grid.cell));
    const int y0 = std::max(0, line.box.top());
    const int baseline = baselineOf(line);
    // Not as far as the ascenders of a closely set line below ("self" under "__init__").
    const int ascent = baseline - line.box.top();
    const int foot = ascent > 0 ? baseline + int(std::ceil(maxDescent * ascent))
                                : line.box.bottom() + height / 4;
    const int y1 = std::min({image.height() - 1, line.box.bottom() + height / 4, foot});
    if (x0 < 0 || x1 >= image.width() || x1 < x0 || y1 < y0) {
        return false;
    }
    // The first stroke from the top, and whether white follows it: the top of a letter of a
    // closely set line below runs on down.
    // Across the whole cell: the sides of an "e" below lie near its edges.
    const int thickness = int(std::max(2.0, underscoreThickness * height));
    const int last = std::min(image.height() - 1, y1 + thickness);
    const int left = std::max(0, int(std::ceil(grid.origin + cell * grid.cell)));
    const int right =
        std::min(image.width() - 1, int(std::floor(grid.origin + (cell + 1) * grid.cell)) - 1);
    const auto rowHasInk = [&](int y) {
        const uchar *row = image.constScanLine(y);
        return std::any_of(row + left, row + right + 1,
                           [](uchar shade) { return shade < inkLevel; });
    };
    int topInk = y0;
    while (topInk <= y1 && !rowHasInk(topInk)) {
        ++topInk;
    }
    if (topInk > y1 || topInk < baseline - height / 20) {
        return false;
    }
    int end = topInk;
    while (end <= last && rowHasInk(end)) {
        ++end;
    }
    if (end > last || end - topInk > thickness) {
        return false;
    }
    int coveredColumns = 0;
    for (int x = x0; x <= x1; ++x) {
        for (int y = topInk; y < end; ++y) {
            if (image.constScanLine(y)[x] < inkLevel) {
                ++coveredColumns;
                break;
            }
        }
    }
    return coveredColumns >= underscoreCoverage * (x1 - x0 + 1);
}

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

QRect inkIn(const QImage &image, const LineReading &line, const Grid &grid, int cell)
{
    const QRect area = QRect(QPoint(int(std::ceil(grid.origin + cell * grid.cell)), line.box.top()),
                             QPoint(int(std::floor(grid.origin + (cell + 1) * grid.cell)) - 1,
                                    line.box.bottom())) &
                       image.rect();
    int left = area.right() + 1;
    int right = area.left() - 1;
    int top = area.bottom() + 1;
    int bottom = area.top() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *row = image.constScanLine(y);
        for (int x = area.left(); x <= area.right(); ++x) {
            if (row[x] < inkLevel) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

bool isRaised(const QImage &image, const LineReading &line, const Grid &grid, int cell)
{
    const QRect ink = inkIn(image, line, grid, cell);
    const int baseline = baselineOf(line);
    const int ascent = baseline - line.inkBox.top();
    return !ink.isEmpty() && ascent > 0 && ink.bottom() < baseline - ascent / 2;
}

bool hasBacktick(const std::map<int, QString> &cells)
{
    return std::any_of(cells.begin(), cells.end(),
                       [](const auto &cell) { return cell.second.contains(u'`'); });
}

// Characters whose ink cannot be what was read. A narrow round stroke read as "0" or "O" in a line
// whose round brackets do not pair up is the missing bracket ("y0);"): a digit or a letter fills
// the cell's width. A letter, a digit or an angle bracket with all its ink high above the
// baseline is a mark drawn there: an "x" the asterisk, in a line with backticks anything else the
// backtick ("${id}>", "delayò").
void mendByShape(const QImage &image, const LineReading &line, const Grid &grid,
                 std::map<int, QString> &cells)
{
    QString all;
    for (const auto &[c, text] : cells) {
        all += text;
    }
    const bool isQuoting = hasBacktick(cells);
    const qsizetype round = all.count(u'(') - all.count(u')');
    const int baseline = baselineOf(line);
    const int ascent = baseline - line.inkBox.top();
    for (auto &[c, text] : cells) {
        if (text.size() != 1) {
            continue;
        }
        const QChar read = text.at(0);
        const bool isRound = round != 0 && (read == u'0' || read == u'O' || read == u'o');
        const bool mayBeRaised =
            isQuoting && (read.isLetterOrNumber() || read == u'>' || read == u'<');
        if (isRound) {
            const QRect ink = inkIn(image, line, grid, c);
            if (!ink.isEmpty() && ink.width() < maxBracketWidth * grid.cell &&
                ink.height() > 0.8 * ascent) {
                text = round < 0 ? QStringLiteral("(") : QStringLiteral(")");
            }
        } else if ((read == u'x' || read == u'X') && isRaised(image, line, grid, c)) {
            // A letter sits on the baseline; a raised star is the asterisk ("r x r").
            text = QStringLiteral("*");
        } else if (mayBeRaised && isRaised(image, line, grid, c)) {
            text = QStringLiteral("`");
        }
    }
}

} // namespace CellInk
