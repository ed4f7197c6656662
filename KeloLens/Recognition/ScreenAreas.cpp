// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ScreenAreas.h"

#include <QRect>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>

namespace {

// A stripe's most common shade is this far beyond the page's background, on the side of its
// ink, and this share of the stripe lies within a few shades of it: a flat panel, not a photo.
constexpr int panelContrast = 96;
constexpr int shadeBins = 32;
constexpr int flatBins = 2;
constexpr double minFlatShare = 0.6;
// Rows or columns this few between two turned stripes are their text or their border.
constexpr int maxPanelGap = 24;
// A stripe with a run this long of the page's own background crosses a window's edge, the
// desktop above and below a window, rather than lying within a pane: text is never that tall.
constexpr int maxBackgroundRun = 48;
constexpr int backgroundSpread = 24;

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

// Flat areas far from the capture's background hold no text: an empty taskbar, the desktop
// beside a window, the black beyond a screen's edge. Left in, such an area would be taken for
// the darkest ink, leaving grey text grey after the stretch, and would fill the gutter between a
// sidebar and a page, joining their rows. They become background: rows and columns of one shade
// right across the capture, whatever their thickness, and elsewhere each connected area of one
// shade that holds a square block and encloses nothing. A window or a button of the other theme
// encloses its text, and no letter holds such a block.
constexpr int maxBareSpread = 8;
constexpr int minBareBlock = 32;
// A window's title bar or a button of the other theme holds a square this large: thinner than a
// bare area, but still thicker than any letter's stroke.
constexpr int minWindowBlock = 20;
constexpr int bareShadeBin = 8;
// A strip of one shade along the capture's edge this long is no letter.
constexpr int minCutStripLength = 120;
// The share of a window's text pixels, counted from the side away from its shade, beyond which
// its text's own shade lies; and how far that must be from the window's to be text at all.
constexpr qsizetype textShare = 25;
constexpr int minTextContrast = 32;
// How far from a window's shade its boxes and buttons lie.
constexpr int boxShadeSpread = 24;
// How far outside a window its surroundings are looked at, and how much of them may lie on the
// ink's side.
constexpr int ringDistance = 6;
constexpr double maxInkSideShare = 0.5;
// How far a window's soft edge reaches out of its area.
constexpr int edgeReach = 3;

// What an area encloses within its bounds, one byte per pixel of the bounds: pixels of other
// areas that cannot reach the edge of the bounds without crossing it.
struct Enclosed
{
    std::vector<uchar> mask;
    qsizetype count = 0;
};

Enclosed enclosedBy(const std::vector<int> &labels, int width, const QRect &bounds, int label)
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
    Enclosed enclosed;
    enclosed.mask.assign(reached.size(), 0);
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        for (int x = bounds.left(); x <= bounds.right(); ++x) {
            if (labels[at(x, y)] != label && reached[local(x, y)] == 0) {
                enclosed.mask[local(x, y)] = 1;
                ++enclosed.count;
            }
        }
    }
    return enclosed;
}

// Whether a mask of `width` columns holds a square block of set pixels.
bool holdsBlock(const std::vector<uchar> &mask, int width, int block)
{
    std::vector<int> stacked(static_cast<size_t>(width), 0);
    const int height = width > 0 ? int(mask.size() / size_t(width)) : 0;
    for (int y = 0; y < height; ++y) {
        const uchar *row = mask.data() + size_t(y) * size_t(width);
        int run = 0;
        for (int x = 0; x < width; ++x) {
            run = row[x] != 0 ? run + 1 : 0;
            stacked[size_t(x)] = run >= block ? stacked[size_t(x)] + 1 : 0;
            if (stacked[size_t(x)] >= block) {
                return true;
            }
        }
    }
    return false;
}

// The shade of the text of a window of the other theme; none when the area is no such window.
// A window of the other theme, a dark terminal on a light screen, is an area of one shade on
// the ink's side of the page that encloses text: lighter than it where the page's text is dark.
// What lies within a few shades of the window's own is its boxes and buttons and counts for
// nothing; anything else as large as a block is a window or a picture within it.
std::optional<int> otherThemeText(const QImage &grey, const QRect &area, int shade,
                                  const Enclosed &enclosed, int background, bool isInverted)
{
    // Only on the ink's side: how far it lies does not matter, a black terminal on a dark grey
    // desktop is as much the other theme as on a white one.
    if (isInverted ? shade < background : shade > background) {
        return std::nullopt;
    }
    std::array<qsizetype, 256> shades{};
    std::vector<uchar> strokes(enclosed.mask.size(), 0);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *row = grey.constScanLine(y);
        const size_t rowStart = size_t(y - area.top()) * size_t(area.width());
        for (int x = area.left(); x <= area.right(); ++x) {
            const size_t i = rowStart + size_t(x - area.left());
            if (enclosed.mask[i] != 0 && std::abs(row[x] - shade) >= minTextContrast) {
                ++shades[row[x]];
                strokes[i] = 1;
            }
        }
    }
    const qsizetype lighter =
        std::accumulate(shades.begin() + shade + 1, shades.end(), qsizetype(0));
    const qsizetype darker = std::accumulate(shades.begin(), shades.begin() + shade, qsizetype(0));
    const bool isTextLighter = !isInverted;
    if ((isTextLighter ? lighter <= darker : darker <= lighter) ||
        holdsBlock(strokes, area.width(), minBareBlock)) {
        return std::nullopt;
    }
    // The text's own shade: most of the way out from the window's, past the anti-aliased
    // fringes.
    const qsizetype outer = (isTextLighter ? lighter : darker) * textShare / 100;
    qsizetype seen = 0;
    for (int n = 0; n < 256; ++n) {
        const int value = isTextLighter ? 255 - n : n;
        seen += shades[size_t(value)];
        if (seen > outer) {
            return value;
        }
    }
    return std::nullopt;
}

// Whether the area lies on the page rather than within a window of its own theme: not most of
// the ring just outside its bounds lies as far on the ink's side. A card of a light settings
// window turned on its own would leave light cards in a dark window; a terminal's own menu bar
// and frame, in the page's theme, do not count.
bool liesOnThePage(const QImage &grey, const QRect &area, int background, int contrast,
                   bool isInverted)
{
    qsizetype inkSide = 0;
    qsizetype ring = 0;
    const auto count = [&](int x, int y) {
        if (x < 0 || x >= grey.width() || y < 0 || y >= grey.height()) {
            return;
        }
        ++ring;
        const int shade = grey.constScanLine(y)[x];
        inkSide +=
            (isInverted ? shade >= background + contrast : shade <= background - contrast) ? 1 : 0;
    };
    const QRect outside = area.adjusted(-ringDistance, -ringDistance, ringDistance, ringDistance);
    for (int x = outside.left(); x <= outside.right(); ++x) {
        count(x, outside.top());
        count(x, outside.bottom());
    }
    for (int y = outside.top() + 1; y < outside.bottom(); ++y) {
        count(outside.left(), y);
        count(outside.right(), y);
    }
    return inkSide < maxInkSideShare * double(ring);
}

// Which pixels of `bounds` lie within edgeReach of the area, one byte per pixel of the bounds.
std::vector<uchar> nearArea(const std::vector<int> &labels, int width, const QRect &bounds,
                            int label)
{
    const size_t w = size_t(bounds.width());
    std::vector<uchar> across(w * size_t(bounds.height()), 0);
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        const int *row = labels.data() + size_t(y) * size_t(width);
        uchar *out = across.data() + size_t(y - bounds.top()) * w;
        for (int x = bounds.left(); x <= bounds.right(); ++x) {
            if (row[x] == label) {
                const int from = std::max(bounds.left(), x - edgeReach);
                const int to = std::min(bounds.right(), x + edgeReach);
                std::fill(out + (from - bounds.left()), out + (to - bounds.left() + 1), uchar(1));
            }
        }
    }
    std::vector<uchar> near(across.size(), 0);
    for (int y = 0; y < bounds.height(); ++y) {
        for (size_t x = 0; x < w; ++x) {
            if (across[size_t(y) * w + x] != 0) {
                for (int k = std::max(0, y - edgeReach);
                     k <= std::min(bounds.height() - 1, y + edgeReach); ++k) {
                    near[size_t(k) * w + x] = 1;
                }
            }
        }
    }
    return near;
}

// Areas of one shade far from the background, 4-connected, by label; label 0 is every pixel near
// the background.
struct FarAreas
{
    std::vector<int> labels; // one per pixel
    std::vector<QRect> bounds{QRect()};
    std::vector<QPoint> firstPixel{QPoint()};
    // The side of the largest square the area holds, up to that of a bare block.
    std::vector<int> block;
};

FarAreas farAreasOf(const QImage &grey, int background, int contrast)
{
    const int width = grey.width();
    const int height = grey.height();
    const auto at = [width](int x, int y) { return size_t(y) * size_t(width) + size_t(x); };
    const auto isFar = [&](int shade) { return std::abs(shade - background) >= contrast; };
    FarAreas far;
    std::vector<int> &labels = far.labels;
    labels.assign(size_t(width) * size_t(height), 0);
    const uchar *bits = grey.constBits();
    const qsizetype stride = grey.bytesPerLine();
    const auto shadeAt = [&](int x, int y) { return int(bits[y * stride + x]); };
    std::vector<QPoint> pending;
    std::vector<QRect> &bounds = far.bounds;
    std::vector<QPoint> &firstPixel = far.firstPixel;
    for (int y0 = 0; y0 < height; ++y0) {
        for (int x0 = 0; x0 < width; ++x0) {
            const int shade = shadeAt(x0, y0);
            if (labels[at(x0, y0)] != 0 || !isFar(shade)) {
                continue;
            }
            const int label = int(bounds.size());
            const int bin = shade / bareShadeBin;
            int left = x0;
            int right = x0;
            int top = y0;
            int bottom = y0;
            const auto visit = [&](int x, int y) {
                if (x < 0 || x >= width || y < 0 || y >= height || labels[at(x, y)] != 0 ||
                    shadeAt(x, y) / bareShadeBin != bin) {
                    return;
                }
                labels[at(x, y)] = label;
                pending.emplace_back(x, y);
            };
            visit(x0, y0);
            while (!pending.empty()) {
                const QPoint p = pending.back();
                pending.pop_back();
                left = std::min(left, p.x());
                right = std::max(right, p.x());
                top = std::min(top, p.y());
                bottom = std::max(bottom, p.y());
                visit(p.x() - 1, p.y());
                visit(p.x() + 1, p.y());
                visit(p.x(), p.y() - 1);
                visit(p.x(), p.y() + 1);
            }
            bounds.emplace_back(QPoint(left, top), QPoint(right, bottom));
            firstPixel.emplace_back(x0, y0);
        }
    }
    // The squares of each size an area holds: runs of it that long, in as many rows one under
    // another.
    far.block.assign(bounds.size(), 0);
    for (const int side : {minWindowBlock, minBareBlock}) {
        std::vector<int> stacked(static_cast<size_t>(width), 0);
        std::vector<int> stackLabel(static_cast<size_t>(width), 0);
        for (int y = 0; y < height; ++y) {
            const int *row = labels.data() + at(0, y);
            for (int start = 0; start < width;) {
                int end = start + 1;
                while (end < width && row[end] == row[start]) {
                    ++end;
                }
                const bool isWide = row[start] != 0 && end - start >= side;
                for (int x = start; x < end; ++x) {
                    stacked[size_t(x)] =
                        isWide ? (stackLabel[size_t(x)] == row[start] ? stacked[size_t(x)] + 1 : 1)
                               : 0;
                    stackLabel[size_t(x)] = isWide ? row[start] : 0;
                    if (stacked[size_t(x)] >= side) {
                        far.block[size_t(row[start])] = side;
                    }
                }
                start = end;
            }
        }
    }
    return far;
}

} // namespace

namespace ScreenAreas {

bool turnOtherThemePanels(QImage &grey, int background, bool isInverted)
{
    const int width = grey.width();
    const int height = grey.height();
    const auto isBackground = [background](int shade) {
        return std::abs(shade - background) <= backgroundSpread;
    };
    std::vector<ShadeCounts> columns(static_cast<size_t>(width), ShadeCounts{});
    std::vector<int> columnRun(static_cast<size_t>(width), 0);
    std::vector<bool> crossesEdge(static_cast<size_t>(width));
    std::vector<Stripe> columnStripes(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            ++columns[size_t(x)][row[x] * shadeBins / 256];
            int &run = columnRun[size_t(x)];
            run = isBackground(row[x]) ? run + 1 : 0;
            if (run >= maxBackgroundRun) {
                crossesEdge[size_t(x)] = true;
            }
        }
    }
    for (int x = 0; x < width; ++x) {
        columnStripes[size_t(x)] =
            crossesEdge[size_t(x)] ? Stripe::kept
                                   : stripeOf(columns[size_t(x)], height, background, isInverted);
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
        int run = 0;
        bool crossesRowEdge = false;
        for (int x = 0; x < width; ++x) {
            ++counts[row[x] * shadeBins / 256];
            run = isBackground(row[x]) ? run + 1 : 0;
            crossesRowEdge = crossesRowEdge || run >= maxBackgroundRun;
        }
        rowStripes[size_t(y)] =
            crossesRowEdge ? Stripe::kept : stripeOf(counts, width, background, isInverted);
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

Areas settleAreas(QImage &grey, int background, int contrast, bool isInverted)
{
    const int width = grey.width();
    const int height = grey.height();
    const auto at = [width](int x, int y) { return size_t(y) * size_t(width) + size_t(x); };
    const auto isFar = [&](int shade) { return std::abs(shade - background) >= contrast; };
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

    const FarAreas far = farAreasOf(grey, background, contrast);
    const std::vector<int> &labels = far.labels;
    const auto shadeAt = [&](QPoint p) { return int(grey.constScanLine(p.y())[p.x()]); };
    Areas areas;
    std::vector<uchar> isBareLabel(far.bounds.size(), 0);
    bool isAnyBareArea = false;
    for (size_t label = 1; label < far.bounds.size(); ++label) {
        if (far.block[label] == 0) {
            continue;
        }
        const QRect &area = far.bounds[label];
        const Enclosed enclosed = enclosedBy(labels, width, area, int(label));
        if (enclosed.count == 0) {
            // What the capture cut of a window or a desktop beside another window is often
            // thinner than a bare block: a long strip along the capture's edge is bare as well.
            const bool isCutStrip = !grey.rect().adjusted(1, 1, -1, -1).contains(area) &&
                                    std::max(area.width(), area.height()) >= minCutStripLength;
            if (far.block[label] < minBareBlock && !isCutStrip) {
                continue;
            }
            isBareLabel[label] = 1;
            isAnyBareArea = true;
            continue;
        }
        // Any pixel of the area will do: they lie within a few shades of each other.
        const int shade = shadeAt(far.firstPixel[label]);
        const std::optional<int> text =
            otherThemeText(grey, area, shade, enclosed, background, isInverted);
        if (!text || std::abs(*text - shade) < minTextContrast ||
            !liesOnThePage(grey, area, background, contrast, isInverted)) {
            continue;
        }
        // Turned so that its own shade becomes the page's and its text the page's darkest ink:
        // the window's outline would otherwise be taken for a picture's, and its text with it.
        // Its boxes and buttons, a few shades off its own, become the page's shade too: a large
        // grey box left in makes the engine take it and the text in it for a picture.
        const int ink = isInverted ? 255 : 0;
        const int towardsText = *text > shade ? 1 : -1;
        const double slope =
            double(ink - background) / double(std::abs(*text - shade) - boxShadeSpread);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            uchar *row = grey.scanLine(y);
            const uchar *inside =
                enclosed.mask.data() + size_t(y - area.top()) * size_t(area.width());
            for (int x = area.left(); x <= area.right(); ++x) {
                if (labels[at(x, y)] == int(label) || inside[x - area.left()] != 0) {
                    const int beyond = (row[x] - shade) * towardsText - boxShadeSpread;
                    const double value = background + std::max(beyond, 0) * slope;
                    row[x] = uchar(std::clamp(int(std::lround(value)), 0, 255));
                }
            }
        }
        // Its rounded corners and soft edge, shades between its own and the page's, would be
        // left as arcs and lines of ink around it.
        const auto isEdge = [&](int value) {
            return value > std::min(shade, background) && value < std::max(shade, background);
        };
        const QRect edge =
            area.adjusted(-edgeReach, -edgeReach, edgeReach, edgeReach).intersected(grey.rect());
        const std::vector<uchar> near = nearArea(labels, width, edge, int(label));
        for (int y = edge.top(); y <= edge.bottom(); ++y) {
            uchar *row = grey.scanLine(y);
            const uchar *isNear = near.data() + size_t(y - edge.top()) * size_t(edge.width());
            for (int x = edge.left(); x <= edge.right(); ++x) {
                const bool isWithin = area.contains(x, y) &&
                                      (labels[at(x, y)] == int(label) ||
                                       enclosed.mask[size_t(y - area.top()) * size_t(area.width()) +
                                                     size_t(x - area.left())] != 0);
                if (!isWithin && isNear[x - edge.left()] != 0 && isEdge(row[x])) {
                    row[x] = uchar(background);
                }
            }
        }
        areas.isAnyTurned = true;
    }
    const bool hasBareLine =
        std::find(bareRow.begin(), bareRow.end(), true) != bareRow.end() ||
        std::find(bareColumn.begin(), bareColumn.end(), true) != bareColumn.end();
    if (!isAnyBareArea && !hasBareLine) {
        return areas;
    }
    areas.bare.assign(size_t(width) * size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            areas.bare[at(x, y)] = uchar(isBareLabel[size_t(labels[at(x, y)])] != 0 ||
                                         bareRow[size_t(y)] || bareColumn[size_t(x)]);
        }
    }
    return areas;
}

} // namespace ScreenAreas
