// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/DataMatrixCorners.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The smallest code is 10 modules square; a module is at least one pixel.
constexpr int minSide = 10;
// Rectangular codes are up to about five times as wide as they are tall.
constexpr int maxAspect = 5;
// Ten modules alternate nine times; blur may merge a few.
constexpr int minTimingChanges = 5;

// Half way between the background (the most common value) and the darkest ink.
int darkThreshold(const QImage &grey)
{
    std::array<qint64, 256> histogram{};
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            ++histogram[row[x]];
        }
    }
    const int background =
        int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    int darkest = 0;
    while (darkest < background && histogram[size_t(darkest)] == 0) {
        ++darkest;
    }
    return (background + darkest + 1) / 2;
}

template <typename IsDark> int changesAlong(int count, IsDark isDark)
{
    int changes = 0;
    for (int i = 1; i < count; ++i) {
        changes += isDark(i) != isDark(i - 1) ? 1 : 0;
    }
    return changes;
}

} // namespace

namespace DataMatrixCorners {

QList<QRect> find(const QImage &grey, int maxCount)
{
    QList<QRect> found;
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8 || maxCount <= 0) {
        return found;
    }
    const int width = grey.width();
    const int height = grey.height();
    const int threshold = darkThreshold(grey);
    const auto isDark = [&](int x, int y) { return grey.constScanLine(y)[x] < threshold; };
    // For every column, how many dark pixels run upwards from the current row.
    std::vector<int> up(size_t(width), 0);
    for (int y = 0; y < height; ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            up[size_t(x)] = row[x] < threshold ? up[size_t(x)] + 1 : 0;
        }
        for (int x = 0; x < width;) {
            if (row[x] >= threshold) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && row[x] < threshold) {
                ++x;
            }
            const int runWidth = x - start;
            const int runHeight = up[size_t(start)];
            // The corner is where the bottom edge ends: nothing dark below it.
            const bool isBottom = y + 1 == height || !isDark(start, y + 1);
            if (runWidth < minSide || runHeight < minSide || !isBottom ||
                runWidth > maxAspect * runHeight || runHeight > maxAspect * runWidth) {
                continue;
            }
            const QRect area(start, y - runHeight + 1, runWidth, runHeight);
            const int top = area.top();
            const int right = area.right();
            if (changesAlong(runWidth, [&](int i) { return isDark(start + i, top); }) <
                    minTimingChanges ||
                changesAlong(runHeight, [&](int i) { return isDark(right, top + i); }) <
                    minTimingChanges) {
                continue;
            }
            if (std::any_of(found.begin(), found.end(),
                            [&](const QRect &known) { return known.intersects(area); })) {
                continue;
            }
            found.append(area);
            if (found.size() == maxCount) {
                return found;
            }
        }
    }
    return found;
}

} // namespace DataMatrixCorners
