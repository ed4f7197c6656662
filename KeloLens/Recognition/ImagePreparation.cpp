// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ImagePreparation.h"

#include "KeloLens/Recognition/ScreenAreas.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// The engine reads text best when a line's ink (ascenders to descenders) is around this many
// pixels high; 13 px screen text at 96 dpi is about two thirds of it. Found with the benchmark.
constexpr double targetLineHeight = 24;
// Scales are rounded to halves: odd fractions blur strokes unevenly and cost accuracy.
constexpr double scaleSteps = 2;
constexpr double maxUpscale = 4;
// Large captures, a screenful, are read in bands by several engines at once, and the engine's
// time grows with the scale. Beyond this, small screen text read no better on the benchmark.
constexpr double maxScreenUpscale = 2;
// Enlarging by less than this gains nothing and costs time.
constexpr double minUsefulUpscale = 1.3;
constexpr int borderPadding = 10;
constexpr double screenDpi = 96;
// Pixels this far from the background count as ink.
constexpr int inkContrast = 48;
// Line heights are also measured in strips this wide, wide enough that a strip of text nearly
// always holds a letter reaching above or below the others.
constexpr int lineStripWidth = 256;
// Runs across the whole width this much taller than in strips are lines run together.
constexpr double mergedLinesRatio = 1.5;

using Histogram = std::array<qint64, 256>;

Histogram histogramOf(const QImage &grey)
{
    Histogram histogram{};
    const int width = grey.width();
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            ++histogram[row[x]];
        }
    }
    return histogram;
}

int mostCommonValue(const Histogram &histogram)
{
    return int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
}

// The value below which the given fraction of pixels lie.
int percentile(const Histogram &histogram, double fraction)
{
    qint64 total = 0;
    for (qint64 count : histogram) {
        total += count;
    }
    const auto wanted = qint64(double(total) * fraction);
    qint64 seen = 0;
    for (int value = 0; value < 256; ++value) {
        seen += histogram[value];
        if (seen > wanted) {
            return value;
        }
    }
    return 255;
}

int borderMedian(const QImage &grey)
{
    std::vector<uchar> values;
    const int w = grey.width();
    const int h = grey.height();
    values.reserve(size_t(2 * (w + h)));
    for (int x = 0; x < w; ++x) {
        values.push_back(grey.constScanLine(0)[x]);
        values.push_back(grey.constScanLine(h - 1)[x]);
    }
    for (int y = 0; y < h; ++y) {
        values.push_back(grey.constScanLine(y)[0]);
        values.push_back(grey.constScanLine(y)[w - 1]);
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Only whole screens have stripes of the other theme: a dark editor beside a light browser.
constexpr double minPanelPixels = 1e6;
// Captures this large may hold a window or a block of the other theme, a dark code block on a
// light page, and bare areas; a smaller one is a single theme, or a few words on a coloured
// button.
constexpr double minWindowPixels = 1e5;

void applyTable(QImage &grey, const std::array<uchar, 256> &table)
{
    const int width = grey.width();
    for (int y = 0; y < grey.height(); ++y) {
        uchar *row = grey.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[x] = table[row[x]];
        }
    }
}

// Bilinear enlargement with pixel centres aligned. Qt enlarges grey images through its painter,
// several times slower, which on a full screen of small text is felt.
QImage enlarged(const QImage &grey, int width, int height, const std::stop_token &stop)
{
    QImage out(width, height, QImage::Format_Grayscale8);
    if (out.isNull()) {
        return out;
    }
    const int sourceWidth = grey.width();
    const int sourceHeight = grey.height();
    // Where each column comes from: the left source pixel and the weight of the right one, of 256.
    std::vector<int> left(static_cast<size_t>(width));
    std::vector<int> weight(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        const double source =
            std::clamp((x + 0.5) * sourceWidth / width - 0.5, 0.0, double(sourceWidth - 1));
        left[size_t(x)] = int(source);
        weight[size_t(x)] = int(std::lround((source - left[size_t(x)]) * 256));
    }
    for (int y = 0; y < height; ++y) {
        if (y % 256 == 0 && stop.stop_requested()) {
            return {};
        }
        const double source =
            std::clamp((y + 0.5) * sourceHeight / height - 0.5, 0.0, double(sourceHeight - 1));
        const int top = int(source);
        const int down = int(std::lround((source - top) * 256));
        const uchar *upper = grey.constScanLine(top);
        const uchar *lower = grey.constScanLine(std::min(top + 1, sourceHeight - 1));
        uchar *row = out.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int a = left[size_t(x)];
            const int b = std::min(a + 1, sourceWidth - 1);
            const int w = weight[size_t(x)];
            const int above = upper[a] * (256 - w) + upper[b] * w;
            const int below = lower[a] * (256 - w) + lower[b] * w;
            row[x] = uchar((above * (256 - down) + below * down + (1 << 15)) >> 16);
        }
    }
    return out;
}

// The heights of the runs of rows with ink between `left` and `right`; runs of a pixel or two
// are rules and underlines, not text.
void addInkRuns(const QImage &grey, int background, int left, int right, std::vector<int> &runs)
{
    int run = 0;
    for (int y = 0; y <= grey.height(); ++y) {
        bool hasInk = false;
        if (y < grey.height()) {
            const uchar *row = grey.constScanLine(y);
            for (int x = left; x < right && !hasInk; ++x) {
                hasInk = background - row[x] >= inkContrast;
            }
        }
        if (hasInk) {
            ++run;
        } else if (run > 0) {
            if (run >= 4) {
                runs.push_back(run);
            }
            run = 0;
        }
    }
}

int median(std::vector<int> values)
{
    if (values.empty()) {
        return 0;
    }
    std::nth_element(values.begin(), values.begin() + qsizetype(values.size() / 2), values.end());
    return values[values.size() / 2];
}

} // namespace

ExactRect PreparedImage::normalizedBox(const QRect &preparedBox) const
{
    const double width = originalSize.width();
    const double height = originalSize.height();
    if (width <= 0 || height <= 0 || scale <= 0) {
        return {};
    }
    const auto toOriginal = [&](int value, double limit) {
        return std::clamp((value - padding) / scale, 0.0, limit);
    };
    const double left = toOriginal(preparedBox.left(), width);
    const double right = toOriginal(preparedBox.left() + preparedBox.width(), width);
    const double top = toOriginal(preparedBox.top(), height);
    const double bottom = toOriginal(preparedBox.top() + preparedBox.height(), height);
    return {left / width, 1.0 - bottom / height, (right - left) / width, (bottom - top) / height};
}

double PreparedImage::normalizedWidth(double preparedWidth) const
{
    const double width = originalSize.width();
    return width > 0 && scale > 0 ? preparedWidth / scale / width : 0;
}

namespace ImagePreparation {

QImage flattenedGrey(const QImage &capture)
{
    if (!capture.hasAlphaChannel()) {
        return capture.convertToFormat(QImage::Format_Grayscale8);
    }
    // Transparent parts of a capture read as the light background they would show on.
    QImage flattened(capture.size(), QImage::Format_RGB32);
    if (flattened.isNull()) {
        return {};
    }
    flattened.fill(Qt::white);
    QPainter painter(&flattened);
    painter.drawImage(0, 0, capture);
    painter.end();
    return flattened.convertToFormat(QImage::Format_Grayscale8);
}

int typicalLineHeight(const QImage &grey, int background)
{
    std::vector<int> runs;
    addInkRuns(grey, background, 0, grey.width(), runs);
    const int acrossAll = median(runs);
    // On a screen, a window's edge inks every row, and lines of windows side by side fill each
    // other's gaps: across the whole width, its rows run together into a few tall runs. In
    // strips, each such edge spoils only its own. (A small capture is left as it is: beside a
    // code, its strips would have the code's modules taken for lines.)
    if (grey.width() < 2 * lineStripWidth ||
        double(grey.width()) * grey.height() < minWindowPixels) {
        return acrossAll;
    }
    std::vector<int> inStrips;
    for (int left = 0; left < grey.width(); left += lineStripWidth) {
        addInkRuns(grey, background, left, std::min(grey.width(), left + lineStripWidth), inStrips);
    }
    const int strips = median(inStrips);
    return strips > 0 && acrossAll > mergedLinesRatio * strips ? strips : acrossAll;
}

PreparedImage prepareForText(const QImage &capture, std::stop_token stop)
{
    PreparedImage prepared;
    if (capture.isNull() || capture.width() < 1 || capture.height() < 1) {
        return prepared;
    }
    QImage grey = flattenedGrey(capture);
    if (grey.isNull()) {
        return prepared;
    }
    prepared.originalSize = capture.size();

    // The most common value is the background; the ink is whatever lies far from it, and there
    // is more of it on the light side when the text is light (a dark theme).
    Histogram histogram = histogramOf(grey);
    int background = mostCommonValue(histogram);
    const bool isLarge = double(grey.width()) * grey.height() >= minPanelPixels;
    qint64 darker = 0;
    qint64 lighter = 0;
    for (int value = 0; value < 256; ++value) {
        if (value <= background - inkContrast) {
            darker += histogram[value];
        } else if (value >= background + inkContrast) {
            lighter += histogram[value];
        }
    }
    prepared.wasInverted = lighter > darker || (lighter == darker && background < 128);
    const auto inkOf = [&prepared](const Histogram &shades) {
        return prepared.wasInverted ? 255 - percentile(shades, 0.995) : percentile(shades, 0.005);
    };
    int ink = inkOf(histogram);
    const bool mayHoldWindows = double(grey.width()) * grey.height() >= minWindowPixels;
    if (mayHoldWindows) {
        const QImage original = grey.copy();
        bool isAnyTurned =
            isLarge && ScreenAreas::turnOtherThemePanels(grey, background, prepared.wasInverted);
        if (isAnyTurned) {
            histogram = histogramOf(grey);
            background = mostCommonValue(histogram);
        }
        // Looked for once panels are turned: the black below a light window that was turned
        // lies far from the page only then.
        const ScreenAreas::Areas areas =
            ScreenAreas::settleAreas(grey, background, inkContrast, prepared.wasInverted);
        isAnyTurned = isAnyTurned || areas.isAnyTurned;
        const std::vector<uchar> &bare = areas.bare;
        if (!bare.empty()) {
            Histogram shown{};
            const int width = grey.width();
            for (int y = 0; y < grey.height(); ++y) {
                const uchar *before = original.constScanLine(y);
                const uchar *isBare = bare.data() + size_t(y) * size_t(width);
                uchar *row = grey.scanLine(y);
                for (int x = 0; x < width; ++x) {
                    if (isBare[x] != 0) {
                        row[x] = uchar(background);
                    } else {
                        ++shown[before[x]];
                    }
                }
            }
            ink = inkOf(shown);
        }
        if (isAnyTurned) {
            // Not lighter than before: with a dark panel turned, the darkest shades left may be
            // a grey pane's background rather than ink.
            ink = std::min(ink, inkOf(histogramOf(grey)));
        }
    }

    // Stretch so the background becomes white and the darkest ink black: coloured themes give
    // little contrast once they are grey.
    const int paper = prepared.wasInverted ? 255 - background : background;
    std::array<uchar, 256> table{};
    for (int value = 0; value < 256; ++value) {
        const int oriented = prepared.wasInverted ? 255 - value : value;
        int mapped = oriented;
        if (paper - ink >= inkContrast) {
            mapped = int(std::lround(double(oriented - ink) * 255.0 / double(paper - ink)));
        }
        table[size_t(value)] = uchar(std::clamp(mapped, 0, 255));
    }
    applyTable(grey, table);
    if (mayHoldWindows) {
        ScreenAreas::eraseRules(grey, inkContrast);
    }

    const int lineHeight = typicalLineHeight(grey, 255);
    double scale = lineHeight > 0 ? std::min(maxUpscale, targetLineHeight / lineHeight) : 1.0;
    if (isLarge) {
        scale = std::min(scale, maxScreenUpscale);
    }
    scale = std::round(scale * scaleSteps) / scaleSteps;
    if (scale < minUsefulUpscale) {
        scale = 1;
    }
    const double pixels = double(grey.width()) * double(grey.height());
    if (pixels * scale * scale > maxPixels) {
        scale = std::sqrt(maxPixels / pixels);
    }
    if (scale != 1) {
        const int width = std::max(1, int(std::lround(grey.width() * scale)));
        const int height = std::max(1, int(std::lround(grey.height() * scale)));
        grey = scale > 1
                   ? enlarged(grey, width, height, stop)
                   : grey.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (grey.isNull()) {
            return {};
        }
        scale = double(width) / capture.width();
    }

    const int edge = borderMedian(grey);
    QImage padded(grey.width() + 2 * borderPadding, grey.height() + 2 * borderPadding,
                  QImage::Format_Grayscale8);
    if (padded.isNull()) {
        return {};
    }
    padded.fill(QColor(edge, edge, edge));
    for (int y = 0; y < grey.height(); ++y) {
        std::copy_n(grey.constScanLine(y), grey.width(),
                    padded.scanLine(y + borderPadding) + borderPadding);
    }

    prepared.image = padded;
    prepared.scale = scale;
    prepared.padding = borderPadding;
    prepared.resolution = int(std::lround(screenDpi * scale));
    return prepared;
}

} // namespace ImagePreparation
