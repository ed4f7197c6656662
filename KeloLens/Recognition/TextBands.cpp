// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TextBands.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Anti-aliased fringes lighter than this may be cut through.
constexpr int inkLevel = 192;

struct Gap
{
    int top = 0;
    int bottom = 0;      // exclusive
    qint64 inkAbove = 0; // rows with ink above the gap
};

} // namespace

namespace TextBands {

QList<TextBand> split(const QImage &grey, int count)
{
    const int height = grey.height();
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8 || count <= 1) {
        return {{0, std::max(0, height)}};
    }

    std::vector<Gap> gaps;
    qint64 inkRows = 0;
    int gapTop = -1;
    for (int y = 0; y < height; ++y) {
        const uchar *row = grey.constScanLine(y);
        bool hasInk = false;
        for (int x = 0; x < grey.width() && !hasInk; ++x) {
            hasInk = row[x] < inkLevel;
        }
        if (hasInk) {
            if (gapTop >= 0 && inkRows > 0) {
                gaps.push_back({gapTop, y, inkRows});
            }
            gapTop = -1;
            ++inkRows;
        } else if (gapTop < 0) {
            gapTop = y;
        }
    }

    QList<TextBand> bands;
    int top = 0;
    size_t nextGap = 0;
    for (int cut = 1; cut < count && nextGap < gaps.size(); ++cut) {
        // The gap whose ink above lies nearest this cut's share of the ink.
        const qint64 wanted = inkRows * cut / count;
        size_t best = nextGap;
        for (size_t g = nextGap; g < gaps.size(); ++g) {
            if (std::llabs(gaps[g].inkAbove - wanted) < std::llabs(gaps[best].inkAbove - wanted)) {
                best = g;
            }
            if (gaps[g].inkAbove > wanted) {
                break;
            }
        }
        const int middle = (gaps[best].top + gaps[best].bottom) / 2;
        if (middle > top) {
            bands.append({top, middle - top});
            top = middle;
        }
        nextGap = best + 1;
    }
    bands.append({top, height - top});
    return bands;
}

QRect inkSpan(const QImage &grey, const TextBand &band)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8) {
        return {};
    }
    const int top = std::max(0, band.top);
    const int bottom = std::min(grey.height(), band.top + band.height);
    int left = grey.width();
    int right = -1;
    for (int y = top; y < bottom; ++y) {
        const uchar *row = grey.constScanLine(y);
        // Only what lies outside the span found so far can widen it.
        for (int x = 0; x < left; ++x) {
            if (row[x] < inkLevel) {
                left = x;
                break;
            }
        }
        for (int x = grey.width() - 1; x > right; --x) {
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
