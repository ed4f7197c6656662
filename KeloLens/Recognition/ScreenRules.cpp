// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ScreenAreas.h"

#include <QPoint>

#include <vector>

namespace {

// A rule is a run of ink at least this long, at most this thick: no letter's stroke is as long,
// and a block of ink as thick is a picture or a bar.
constexpr int minRuleLength = 120;
constexpr int maxRuleThickness = 3;

} // namespace

namespace ScreenAreas {

void eraseRules(QImage &grey, int contrast)
{
    const int ruleInk = 256 - contrast;
    const int width = grey.width();
    const int height = grey.height();
    uchar *bits = grey.bits();
    const qsizetype stride = grey.bytesPerLine();
    std::vector<uchar> flags(size_t(width) * size_t(height), 0);
    const auto flagsAt = [&](QPoint p) -> uchar & {
        return flags[size_t(p.y()) * size_t(width) + size_t(p.x())];
    };
    const auto isClear = [&](QPoint p) {
        return p.x() < 0 || p.x() >= width || p.y() < 0 || p.y() >= height ||
               bits[p.y() * stride + p.x()] >= ruleInk;
    };
    // A line of the image, a row or a column, and the pixel at `k` along it.
    const auto inRow = [](int line, int k) { return QPoint(k, line); };
    const auto inColumn = [](int line, int k) { return QPoint(line, k); };
    constexpr uchar along = 1;
    constexpr uchar down = 2;
    constexpr uchar thinAlong = 4;
    constexpr uchar thinDown = 8;

    // Runs of ink a rule long.
    const auto markLongRuns = [&](auto pixel, int lines, int length, uchar kind) {
        for (int line = 0; line < lines; ++line) {
            int from = -1;
            for (int k = 0; k <= length; ++k) {
                const bool isInk = k < length && !isClear(pixel(line, k));
                if (isInk && from < 0) {
                    from = k;
                } else if (!isInk && from >= 0) {
                    for (int i = from; k - from >= minRuleLength && i < k; ++i) {
                        flagsAt(pixel(line, i)) |= kind;
                    }
                    from = -1;
                }
            }
        }
    };
    // Where such runs lie side by side no thicker than a rule, with no ink on either side.
    const auto markThin = [&](auto across, int lines, int length, uchar kind, uchar thin) {
        for (int line = 0; line < lines; ++line) {
            for (int k = 0; k < length;) {
                if ((flagsAt(across(line, k)) & kind) == 0) {
                    ++k;
                    continue;
                }
                int end = k;
                while (end < length && (flagsAt(across(line, end)) & kind) != 0) {
                    ++end;
                }
                const bool isThin = end - k <= maxRuleThickness && isClear(across(line, k - 1)) &&
                                    isClear(across(line, end));
                for (int i = k; isThin && i < end; ++i) {
                    flagsAt(across(line, i)) |= thin;
                }
                k = end;
            }
        }
    };
    // A run is a rule when it is thin nearly all along: inside a dark block, between the letters
    // of light text, runs as long stand thin only beside the letters.
    const auto eraseThinRuns = [&](auto pixel, int lines, int length, uchar kind, uchar thin) {
        for (int line = 0; line < lines; ++line) {
            for (int k = 0; k < length;) {
                if ((flagsAt(pixel(line, k)) & kind) == 0) {
                    ++k;
                    continue;
                }
                int end = k;
                int thinCount = 0;
                while (end < length && (flagsAt(pixel(line, end)) & kind) != 0) {
                    thinCount += (flagsAt(pixel(line, end)) & thin) != 0 ? 1 : 0;
                    ++end;
                }
                const bool isRule = thinCount * 10 >= (end - k) * 9;
                for (int i = k; isRule && i < end; ++i) {
                    const QPoint p = pixel(line, i);
                    if ((flagsAt(p) & thin) != 0) {
                        bits[p.y() * stride + p.x()] = 255;
                    }
                }
                k = end;
            }
        }
    };
    markLongRuns(inRow, height, width, along);
    markLongRuns(inColumn, width, height, down);
    markThin(inColumn, width, height, along, thinAlong);
    markThin(inRow, height, width, down, thinDown);
    eraseThinRuns(inRow, height, width, along, thinAlong);
    eraseThinRuns(inColumn, width, height, down, thinDown);
}

} // namespace ScreenAreas
