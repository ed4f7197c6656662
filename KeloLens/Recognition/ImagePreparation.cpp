// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ImagePreparation.h"

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

// Stripes of a screen in the other theme than most of it, a dark editor beside a light browser,
// are turned over so that all text is dark on light: the engine would read every line of them
// twice, the second time inverted, and lays them out as pictures. Only large captures: a small
// one is a single theme, or a few words on a coloured button.
constexpr double minPanelPixels = 1e6;
// A stripe's most common shade is this far beyond the page's background, on the side of its
// ink, and this share of the stripe lies within a few shades of it: a flat panel, not a photo.
constexpr int panelContrast = 96;
constexpr int shadeBins = 32;
constexpr int flatBins = 2;
constexpr double minFlatShare = 0.6;
// Rows or columns this few between two turned stripes are their text or their border.
constexpr int maxPanelGap = 24;

using ShadeCounts = std::array<int, shadeBins>;

enum class Stripe { kept, turned, blank };

Stripe stripeOf(const ShadeCounts &counts, int total, int background, bool isInverted)
{
    const auto mode = int(std::max_element(counts.begin(), counts.end()) - counts.begin());
    const int shade = mode * 256 / shadeBins + 256 / shadeBins / 2;
    if (isInverted ? shade < background + panelContrast : shade > background - panelContrast) {
        return Stripe::kept;
    }
    int near = 0;
    int lighter = 0;
    int darker = 0;
    for (int bin = 0; bin < shadeBins; ++bin) {
        const int count = counts[size_t(bin)];
        (bin < mode - flatBins ? darker : bin > mode + flatBins ? lighter : near) += count;
    }
    if (near < minFlatShare * total) {
        return Stripe::kept;
    }
    if (lighter == darker) {
        return Stripe::blank;
    }
    // Its text must be drawn the other way round too: dark text on a grey pane is read as it is.
    return (isInverted ? darker > lighter : lighter > darker) ? Stripe::turned : Stripe::kept;
}

// Which stripes to turn: gaps of a few between turned ones are their text or border, and blank
// stripes beside them (a window's margin, the gutter beyond it) go with them.
std::vector<bool> stripesToTurn(const std::vector<Stripe> &stripes)
{
    const int count = int(stripes.size());
    std::vector<bool> turn(stripes.size());
    int last = -1;
    for (int i = 0; i < count; ++i) {
        if (stripes[size_t(i)] != Stripe::turned) {
            continue;
        }
        turn[size_t(i)] = true;
        if (last >= 0 && i - last - 1 <= maxPanelGap) {
            std::fill(turn.begin() + last + 1, turn.begin() + i, true);
        }
        last = i;
    }
    for (int pass = 0; pass < 2; ++pass) {
        // Forwards, then backwards.
        for (int n = 1; n < count; ++n) {
            const int i = pass == 0 ? n : count - 1 - n;
            const int before = pass == 0 ? i - 1 : i + 1;
            if (stripes[size_t(i)] == Stripe::blank && turn[size_t(before)]) {
                turn[size_t(i)] = true;
            }
        }
    }
    return turn;
}

// Returns whether any stripe was turned.
bool turnOtherThemePanels(QImage &grey, int background, bool isInverted)
{
    const int width = grey.width();
    const int height = grey.height();
    std::vector<ShadeCounts> columns(static_cast<size_t>(width), ShadeCounts{});
    std::vector<Stripe> columnStripes(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            ++columns[size_t(x)][row[x] * shadeBins / 256];
        }
    }
    for (int x = 0; x < width; ++x) {
        columnStripes[size_t(x)] = stripeOf(columns[size_t(x)], height, background, isInverted);
    }
    const std::vector<bool> turnColumn = stripesToTurn(columnStripes);
    bool isAnyTurned = false;
    for (int y = 0; y < height; ++y) {
        uchar *row = grey.scanLine(y);
        for (int x = 0; x < width; ++x) {
            if (turnColumn[size_t(x)]) {
                row[x] = uchar(255 - row[x]);
                isAnyTurned = true;
            }
        }
    }
    std::vector<Stripe> rowStripes(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uchar *row = grey.constScanLine(y);
        ShadeCounts counts{};
        for (int x = 0; x < width; ++x) {
            ++counts[row[x] * shadeBins / 256];
        }
        rowStripes[size_t(y)] = stripeOf(counts, width, background, isInverted);
    }
    const std::vector<bool> turnRow = stripesToTurn(rowStripes);
    for (int y = 0; y < height; ++y) {
        if (turnRow[size_t(y)]) {
            uchar *row = grey.scanLine(y);
            std::transform(row, row + width, row, [](uchar value) { return uchar(255 - value); });
            isAnyTurned = true;
        }
    }
    return isAnyTurned;
}

// Flat areas far from the capture's background hold no text: an empty taskbar, the desktop
// beside a window, the black beyond a screen's edge. Left in, such an area would be taken for
// the darkest ink, leaving grey text grey after the stretch, and would fill the gutter between a
// sidebar and a page, joining their rows. They become background: rows and columns of one shade
// right across the capture, whatever their thickness, and elsewhere each connected area of one
// shade that holds a square block and encloses nothing. A window or a button of the other theme
// encloses its text, and no letter holds such a block.
constexpr int maxBareSpread = 8;
constexpr int minBareBlock = 32;
constexpr int bareShadeBin = 8;

// Whether the area labelled `label` within `bounds` encloses anything: pixels of other labels
// that cannot reach the edge of its bounds without crossing it.
bool enclosesAnything(const std::vector<int> &labels, int width, const QRect &bounds, int label)
{
    const auto at = [width](int x, int y) { return size_t(y) * size_t(width) + size_t(x); };
    std::vector<uchar> reached(size_t(bounds.width()) * size_t(bounds.height()), 0);
    const auto local = [&](int x, int y) {
        return size_t(y - bounds.top()) * size_t(bounds.width()) + size_t(x - bounds.left());
    };
    std::vector<QPoint> pending;
    const auto visit = [&](int x, int y) {
        if (x < bounds.left() || x > bounds.right() || y < bounds.top() || y > bounds.bottom() ||
            labels[at(x, y)] == label || reached[local(x, y)] != 0) {
            return;
        }
        reached[local(x, y)] = 1;
        pending.emplace_back(x, y);
    };
    for (int x = bounds.left(); x <= bounds.right(); ++x) {
        visit(x, bounds.top());
        visit(x, bounds.bottom());
    }
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        visit(bounds.left(), y);
        visit(bounds.right(), y);
    }
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        visit(p.x() - 1, p.y());
        visit(p.x() + 1, p.y());
        visit(p.x(), p.y() - 1);
        visit(p.x(), p.y() + 1);
    }
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        for (int x = bounds.left(); x <= bounds.right(); ++x) {
            if (labels[at(x, y)] != label && reached[local(x, y)] == 0) {
                return true;
            }
        }
    }
    return false;
}

// Which pixels lie in such areas, one byte per pixel; empty when none do.
std::vector<uchar> bareAreas(const QImage &grey, int background)
{
    const int width = grey.width();
    const int height = grey.height();
    const auto at = [width](int x, int y) { return size_t(y) * size_t(width) + size_t(x); };
    const auto isFar = [&](int shade) { return std::abs(shade - background) >= inkContrast; };
    const auto isBare = [&](int low, int high) {
        return high - low <= maxBareSpread && isFar((low + high) / 2);
    };
    std::vector<int> columnLow(static_cast<size_t>(width), 255);
    std::vector<int> columnHigh(static_cast<size_t>(width), 0);
    std::vector<bool> bareRow(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uchar *row = grey.constScanLine(y);
        const auto [low, high] = std::minmax_element(row, row + width);
        bareRow[size_t(y)] = isBare(*low, *high);
        for (int x = 0; x < width; ++x) {
            columnLow[size_t(x)] = std::min<int>(columnLow[size_t(x)], row[x]);
            columnHigh[size_t(x)] = std::max<int>(columnHigh[size_t(x)], row[x]);
        }
    }
    std::vector<bool> bareColumn(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        bareColumn[size_t(x)] = isBare(columnLow[size_t(x)], columnHigh[size_t(x)]);
    }

    // Areas of one far shade, 4-connected; 0 for pixels near the background.
    std::vector<int> labels(size_t(width) * size_t(height), 0);
    std::vector<QPoint> pending;
    std::vector<QRect> bounds(1); // by label
    for (int y0 = 0; y0 < height; ++y0) {
        for (int x0 = 0; x0 < width; ++x0) {
            const int shade = grey.constScanLine(y0)[x0];
            if (labels[at(x0, y0)] != 0 || !isFar(shade)) {
                continue;
            }
            const int label = int(bounds.size());
            const int bin = shade / bareShadeBin;
            QRect area(x0, y0, 1, 1);
            labels[at(x0, y0)] = label;
            pending.emplace_back(x0, y0);
            while (!pending.empty()) {
                const QPoint p = pending.back();
                pending.pop_back();
                area |= QRect(p, QSize(1, 1));
                const QPoint around[] = {
                    {p.x() - 1, p.y()}, {p.x() + 1, p.y()}, {p.x(), p.y() - 1}, {p.x(), p.y() + 1}};
                for (const QPoint &q : around) {
                    if (q.x() < 0 || q.x() >= width || q.y() < 0 || q.y() >= height ||
                        labels[at(q.x(), q.y())] != 0 ||
                        grey.constScanLine(q.y())[q.x()] / bareShadeBin != bin) {
                        continue;
                    }
                    labels[at(q.x(), q.y())] = label;
                    pending.push_back(q);
                }
            }
            bounds.push_back(area);
        }
    }
    // Areas holding a block: a run of the area a block long, in as many rows one under another.
    std::vector<uchar> holdsBlock(bounds.size(), 0);
    std::vector<int> stacked(static_cast<size_t>(width), 0);
    std::vector<int> stackLabel(static_cast<size_t>(width), 0);
    for (int y = 0; y < height; ++y) {
        const int *row = labels.data() + at(0, y);
        for (int start = 0; start < width;) {
            int end = start + 1;
            while (end < width && row[end] == row[start]) {
                ++end;
            }
            const bool isWide = row[start] != 0 && end - start >= minBareBlock;
            for (int x = start; x < end; ++x) {
                stacked[size_t(x)] =
                    isWide ? (stackLabel[size_t(x)] == row[start] ? stacked[size_t(x)] + 1 : 1) : 0;
                stackLabel[size_t(x)] = isWide ? row[start] : 0;
                if (stacked[size_t(x)] >= minBareBlock) {
                    holdsBlock[size_t(row[start])] = 1;
                }
            }
            start = end;
        }
    }
    std::vector<uchar> isBareLabel(bounds.size(), 0);
    bool isAnyBareArea = false;
    for (size_t label = 1; label < bounds.size(); ++label) {
        if (holdsBlock[label] != 0 && !enclosesAnything(labels, width, bounds[label], int(label))) {
            isBareLabel[label] = 1;
            isAnyBareArea = true;
        }
    }
    const bool hasBareLine =
        std::find(bareRow.begin(), bareRow.end(), true) != bareRow.end() ||
        std::find(bareColumn.begin(), bareColumn.end(), true) != bareColumn.end();
    if (!isAnyBareArea && !hasBareLine) {
        return {};
    }
    std::vector<uchar> bare(size_t(width) * size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bare[at(x, y)] = uchar(isBareLabel[size_t(labels[at(x, y)])] != 0 ||
                                   bareRow[size_t(y)] || bareColumn[size_t(x)]);
        }
    }
    return bare;
}

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
    int run = 0;
    const int width = grey.width();
    for (int y = 0; y <= grey.height(); ++y) {
        bool hasInk = false;
        if (y < grey.height()) {
            const uchar *row = grey.constScanLine(y);
            for (int x = 0; x < width && !hasInk; ++x) {
                hasInk = background - row[x] >= inkContrast;
            }
        }
        if (hasInk) {
            ++run;
        } else if (run > 0) {
            // Runs of a pixel or two are rules and underlines, not text.
            if (run >= 4) {
                runs.push_back(run);
            }
            run = 0;
        }
    }
    if (runs.empty()) {
        return 0;
    }
    std::nth_element(runs.begin(), runs.begin() + runs.size() / 2, runs.end());
    return runs[runs.size() / 2];
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
    if (isLarge) {
        const QImage original = grey.copy();
        const bool isAnyTurned = turnOtherThemePanels(grey, background, prepared.wasInverted);
        if (isAnyTurned) {
            histogram = histogramOf(grey);
            background = mostCommonValue(histogram);
        }
        // Looked for once panels are turned: the black below a light window that was turned
        // lies far from the page only then.
        const std::vector<uchar> bare = bareAreas(grey, background);
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
