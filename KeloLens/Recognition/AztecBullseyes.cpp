// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/AztecBullseyes.h"

#include <cmath>
#include <vector>

namespace {

// A compact code's bullseye crosses its centre line in nine runs of one module each, starting
// and ending dark; a full-range code's in thirteen, whose middle nine look the same.
constexpr int bullseyeRuns = 9;
constexpr int threshold = 128;

struct Run
{
    int start = 0;
    int length = 0;
    bool isDark = false;
};

template <typename PixelAt> std::vector<Run> runsOf(int count, PixelAt pixelAt)
{
    std::vector<Run> runs;
    for (int i = 0; i < count; ++i) {
        const bool isDark = pixelAt(i) < threshold;
        if (runs.empty() || runs.back().isDark != isDark) {
            runs.push_back({i, 0, isDark});
        }
        ++runs.back().length;
    }
    return runs;
}

// The module size when runs[first..first+8] alternate evenly, starting dark; 0 otherwise. The
// outermost dark ring may touch dark modules of the data around it, so its runs need only be
// at least a module long.
double evenModule(const std::vector<Run> &runs, size_t first)
{
    if (first + bullseyeRuns > runs.size() || !runs[first].isDark) {
        return 0;
    }
    const size_t inner = first + 1;
    const size_t innerEnd = first + bullseyeRuns - 1;
    double total = 0;
    for (size_t i = inner; i < innerEnd; ++i) {
        total += runs[i].length;
    }
    const double module = total / double(innerEnd - inner);
    const double tolerance = std::max(1.0, module * 0.5);
    for (size_t i = inner; i < innerEnd; ++i) {
        if (std::abs(runs[i].length - module) > tolerance) {
            return 0;
        }
    }
    if (runs[first].length < module - tolerance || runs[innerEnd].length < module - tolerance) {
        return 0;
    }
    return module;
}

// Whether the column through a candidate crosses the same bullseye.
bool isBullseyeInColumn(const QImage &grey, int x, int y, double module)
{
    const int reach = int(std::ceil(module * 6));
    const int top = std::max(0, y - reach);
    const int bottom = std::min(grey.height(), y + reach + 1);
    const std::vector<Run> runs =
        runsOf(bottom - top, [&](int i) { return grey.constScanLine(top + i)[x]; });
    for (size_t first = 0; first + bullseyeRuns <= runs.size(); ++first) {
        const Run &middle = runs[first + bullseyeRuns / 2];
        const int local = y - top;
        if (local < middle.start || local >= middle.start + middle.length) {
            continue;
        }
        const double columnModule = evenModule(runs, first);
        if (columnModule > 0 && std::abs(columnModule - module) <= std::max(1.0, module * 0.5)) {
            return true;
        }
    }
    return false;
}

} // namespace

namespace AztecBullseyes {

QList<AztecBullseye> find(const QImage &grey, int maxCount)
{
    QList<AztecBullseye> found;
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8 || maxCount <= 0) {
        return found;
    }
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        const std::vector<Run> runs = runsOf(grey.width(), [row](int i) { return row[i]; });
        for (size_t first = 0; first + bullseyeRuns <= runs.size(); ++first) {
            const double module = evenModule(runs, first);
            if (module <= 0) {
                continue;
            }
            const Run &middle = runs[first + bullseyeRuns / 2];
            const QPoint centre(middle.start + middle.length / 2, y);
            const bool isKnown =
                std::any_of(found.begin(), found.end(), [&](const AztecBullseye &b) {
                    return (b.centre - centre).manhattanLength() <
                           8 * std::max(module, b.moduleSize);
                });
            if (isKnown || !isBullseyeInColumn(grey, centre.x(), y, module)) {
                continue;
            }
            found.append({centre, module});
            if (found.size() == maxCount) {
                return found;
            }
        }
    }
    return found;
}

} // namespace AztecBullseyes
