// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TextBands.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Anti-aliased fringes lighter than this may be cut through.
constexpr int inkLevel = 192;
// An empty stretch at least this wide from top to bottom parts two columns: wider than the space
// between the words of enlarged text.
constexpr int minGutterWidth = 32;

// Bands of fewer lines than this are not worth the engine's setting up.
constexpr int minLinesPerBand = 4;
// A cut may move this fraction of a band's ink from its share to fall in a paragraph's gap.
constexpr int cutLeeway = 3;

struct Gap
{
    int top = 0;
    int bottom = 0;      // exclusive
    qint64 inkAbove = 0; // rows with ink above the gap
};

struct Column
{
    int left = 0;
    int right = 0; // exclusive
    qint64 ink = 0;
};

bool hasInk(const uchar *row, int left, int right)
{
    for (int x = left; x < right; ++x) {
        if (row[x] < inkLevel) {
            return true;
        }
    }
    return false;
}

// The page's columns, cut in the middle of each gutter; one when it has none.
std::vector<Column> columnsOf(const QImage &grey)
{
    const int width = grey.width();
    std::vector<qint64> ink(static_cast<size_t>(width), 0);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            ink[size_t(x)] += row[x] < inkLevel ? 1 : 0;
        }
    }
    std::vector<Column> columns{{0, width, 0}};
    int lastInk = -1;
    for (int x = 0; x < width; ++x) {
        if (ink[size_t(x)] == 0) {
            continue;
        }
        // The margins at the page's edges part nothing.
        if (lastInk >= 0 && x - lastInk - 1 >= minGutterWidth) {
            const int middle = (lastInk + 1 + x) / 2;
            columns.back().right = middle;
            columns.push_back({middle, width, 0});
        }
        columns.back().ink += ink[size_t(x)];
        lastInk = x;
    }
    return columns;
}

// At most `count` bands of the columns from `left` to `right`.
QList<TextBand> bandsOf(const QImage &grey, int left, int right, int count)
{
    const int height = grey.height();
    const int width = left == 0 && right == grey.width() ? 0 : right - left;
    std::vector<Gap> gaps;
    qint64 inkRows = 0;
    int gapTop = -1;
    for (int y = 0; y < height; ++y) {
        if (hasInk(grey.constScanLine(y), left, right)) {
            if (gapTop >= 0 && inkRows > 0) {
                gaps.push_back({gapTop, y, inkRows});
            }
            gapTop = -1;
            ++inkRows;
        } else if (gapTop < 0) {
            gapTop = y;
        }
    }

    // A band of a line or two is read less well: the engine fits its rows to few words.
    count = std::min(count, std::max(1, int(gaps.size() + 1) / minLinesPerBand));
    QList<TextBand> bands;
    int top = 0;
    size_t nextGap = 0;
    for (int cut = 1; cut < count && nextGap < gaps.size(); ++cut) {
        // The gap whose ink above lies nearest this cut's share of the ink; near that share, the
        // widest, so that paragraphs stay whole.
        const qint64 wanted = inkRows * cut / count;
        const qint64 leeway = inkRows / (cutLeeway * count);
        size_t best = nextGap;
        for (size_t g = nextGap; g < gaps.size(); ++g) {
            const qint64 off = std::llabs(gaps[g].inkAbove - wanted);
            const qint64 bestOff = std::llabs(gaps[best].inkAbove - wanted);
            const bool isWider = gaps[g].bottom - gaps[g].top > gaps[best].bottom - gaps[best].top;
            if (off <= leeway ? bestOff > leeway || isWider : off < bestOff) {
                best = g;
            }
            if (gaps[g].inkAbove > wanted + leeway) {
                break;
            }
        }
        const int middle = (gaps[best].top + gaps[best].bottom) / 2;
        if (middle > top) {
            bands.append({top, middle - top, left, width});
            top = middle;
        }
        nextGap = best + 1;
    }
    bands.append({top, height - top, left, width});
    return bands;
}

} // namespace

namespace TextBands {

QList<TextBand> split(const QImage &grey, int count)
{
    const int height = grey.height();
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8 || count <= 1) {
        return {{0, std::max(0, height)}};
    }
    const std::vector<Column> columns = columnsOf(grey);
    qint64 totalInk = 0;
    for (const Column &column : columns) {
        totalInk += column.ink;
    }
    QList<TextBand> bands;
    for (const Column &column : columns) {
        // Each column gets its share of the bands, by its ink.
        const int share =
            totalInk > 0 ? int(std::lround(double(count) * column.ink / totalInk)) : count;
        bands += bandsOf(grey, column.left, column.right, std::max(1, share));
    }
    return bands;
}

qint64 strokes(const QImage &grey, const TextBand &band)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8) {
        return 0;
    }
    const int top = std::max(0, band.top);
    const int bottom = std::min(grey.height(), band.top + band.height);
    const int first = std::clamp(band.left, 0, grey.width());
    const int end = band.width > 0 ? std::min(grey.width(), first + band.width) : grey.width();
    qint64 count = 0;
    for (int y = top; y < bottom; ++y) {
        const uchar *row = grey.constScanLine(y);
        bool wasInk = false;
        for (int x = first; x < end; ++x) {
            const bool isInk = row[x] < inkLevel;
            count += isInk && !wasInk ? 1 : 0;
            wasInk = isInk;
        }
    }
    return count;
}

QRect inkSpan(const QImage &grey, const TextBand &band)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8) {
        return {};
    }
    const int top = std::max(0, band.top);
    const int bottom = std::min(grey.height(), band.top + band.height);
    const int first = std::clamp(band.left, 0, grey.width());
    const int end = band.width > 0 ? std::min(grey.width(), first + band.width) : grey.width();
    int left = end;
    int right = first - 1;
    for (int y = top; y < bottom; ++y) {
        const uchar *row = grey.constScanLine(y);
        // Only what lies outside the span found so far can widen it.
        for (int x = first; x < left; ++x) {
            if (row[x] < inkLevel) {
                left = x;
                break;
            }
        }
        for (int x = end - 1; x > right; --x) {
            if (row[x] < inkLevel) {
                right = x;
                break;
            }
        }
    }
    if (right < left) {
        return {};
    }
    return {left, top, right - left + 1, bottom - top};
}

} // namespace TextBands
