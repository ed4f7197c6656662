// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TextBlocks.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A gutter narrower than this many line heights is a word space or a tab stop.
constexpr double minGutterLineHeights = 1.0;
// Below this share of the fewer lines having a partner on the same row, two sides of a gutter
// are columns of their own.
constexpr double pairedShare = 0.75;
// A rule or a pane edge: grey levels apart from the gutter's background, along this share of
// the columns' height.
constexpr int ruleContrast = 24;
constexpr double ruleCoverage = 0.8;
constexpr int paneContrast = 16;

struct Span
{
    double from = 0;
    double to = 0;

    [[nodiscard]] double width() const { return to - from; }
};

class Splitter
{
public:
    Splitter(const QList<RecognizedLine> &lines, const QImage &image)
        : m_lines(lines), m_grey(image.isNull() ? QImage()
                                                : image.convertToFormat(QImage::Format_Grayscale8))
    {
    }

    QList<QList<int>> split(QList<int> indices, int depth = 0) const;

private:
    [[nodiscard]] const ExactRect &box(int i) const { return m_lines.at(i).box; }
    [[nodiscard]] double medianHeight(const QList<int> &indices) const;
    [[nodiscard]] std::vector<Span> gutters(const QList<int> &indices, double minWidth) const;
    [[nodiscard]] bool isPaired(const QList<int> &left, const QList<int> &right) const;
    [[nodiscard]] bool hasDivider(const Span &gutter, const QList<int> &indices) const;

    const QList<RecognizedLine> &m_lines;
    QImage m_grey;
};

double Splitter::medianHeight(const QList<int> &indices) const
{
    std::vector<double> heights;
    for (int i : indices) {
        heights.push_back(std::abs(box(i).height));
    }
    std::nth_element(heights.begin(), heights.begin() + long(heights.size() / 2), heights.end());
    return heights[heights.size() / 2];
}

// The empty stretches, at least `minWidth` wide, between the lines' horizontal extents.
std::vector<Span> Splitter::gutters(const QList<int> &indices, double minWidth) const
{
    std::vector<Span> extents;
    for (int i : indices) {
        extents.push_back({box(i).minX(), box(i).maxX()});
    }
    std::sort(extents.begin(), extents.end(),
              [](const Span &a, const Span &b) { return a.from < b.from; });
    std::vector<Span> found;
    double reach = extents.front().to;
    for (const Span &extent : extents) {
        if (extent.from - reach >= minWidth) {
            found.push_back({reach, extent.from});
        }
        reach = std::max(reach, extent.to);
    }
    return found;
}

bool Splitter::isPaired(const QList<int> &left, const QList<int> &right) const
{
    const QList<int> &fewer = left.size() <= right.size() ? left : right;
    const QList<int> &more = left.size() <= right.size() ? right : left;
    int paired = 0;
    for (int a : fewer) {
        paired += std::any_of(more.begin(), more.end(), [&](int b) {
            return std::abs(box(a).midY() - box(b).midY()) <=
                   0.5 * std::min(std::abs(box(a).height), std::abs(box(b).height));
        });
    }
    return paired >= pairedShare * double(fewer.size());
}

// A vertical rule in the gutter, or panes of different colours meeting in it.
bool Splitter::hasDivider(const Span &gutter, const QList<int> &indices) const
{
    if (m_grey.isNull()) {
        return false;
    }
    double top = 0;
    double bottom = 1;
    for (int i : indices) {
        top = std::max(top, box(i).maxY());
        bottom = std::min(bottom, box(i).minY());
    }
    const int width = m_grey.width();
    const int height = m_grey.height();
    const int x0 = std::clamp(int(std::ceil(gutter.from * width)) + 1, 0, width - 1);
    const int x1 = std::clamp(int(std::floor(gutter.to * width)) - 1, 0, width - 1);
    const int y0 = std::clamp(int(std::floor((1 - top) * height)), 0, height - 1);
    const int y1 = std::clamp(int(std::ceil((1 - bottom) * height)), 0, height - 1);
    if (x1 - x0 < 2 || y1 - y0 < 2) {
        return false;
    }
    // Each column's median grey; the gutter's background is the median of those.
    std::vector<int> medians;
    std::vector<uchar> column(size_t(y1 - y0 + 1));
    for (int x = x0; x <= x1; ++x) {
        for (int y = y0; y <= y1; ++y) {
            column[size_t(y - y0)] = m_grey.constScanLine(y)[x];
        }
        std::nth_element(column.begin(), column.begin() + long(column.size() / 2), column.end());
        medians.push_back(column[column.size() / 2]);
    }
    if (std::abs(medians.front() - medians.back()) >= paneContrast) {
        return true;
    }
    std::vector<int> sorted = medians;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const int background = sorted[sorted.size() / 2];
    for (int x = x0; x <= x1; ++x) {
        int differing = 0;
        for (int y = y0; y <= y1; ++y) {
            differing += std::abs(m_grey.constScanLine(y)[x] - background) >= ruleContrast ? 1 : 0;
        }
        if (differing >= ruleCoverage * (y1 - y0 + 1)) {
            return true;
        }
    }
    return false;
}

QList<QList<int>> Splitter::split(QList<int> indices, int depth) const
{
    constexpr int maxDepth = 16;
    if (indices.size() <= 1 || depth > maxDepth) {
        return {indices};
    }
    // Strips: runs of lines that overlap vertically, top to bottom. Two columns with different
    // line spacing make one tall strip; rows of a form or a table make one strip each.
    QList<int> byTop = indices;
    std::stable_sort(byTop.begin(), byTop.end(),
                     [&](int a, int b) { return box(a).maxY() > box(b).maxY(); });
    QList<QList<int>> strips;
    double stripBottom = 0;
    for (int i : byTop) {
        if (strips.isEmpty() || box(i).maxY() <= stripBottom) {
            strips.append(QList<int>{i});
            stripBottom = box(i).minY();
        } else {
            strips.last().append(i);
            stripBottom = std::min(stripBottom, box(i).minY());
        }
    }

    const double minWidth = minGutterLineHeights * medianHeight(indices);
    QList<QList<int>> blocks;
    QList<int> pending;
    const auto flushPending = [&] {
        if (!pending.isEmpty()) {
            blocks.append(pending);
            pending.clear();
        }
    };
    for (qsizetype s = 0; s < strips.size();) {
        // The longest run of strips from here that share a gutter.
        std::vector<Span> common = gutters(strips.at(s), minWidth);
        QList<int> run = strips.at(s);
        qsizetype end = s + 1;
        for (; end < strips.size() && !common.empty(); ++end) {
            std::vector<Span> shared;
            for (const Span &next : gutters(strips.at(end), minWidth)) {
                for (const Span &current : common) {
                    const Span both{std::max(next.from, current.from),
                                    std::min(next.to, current.to)};
                    if (both.width() >= minWidth) {
                        shared.push_back(both);
                    }
                }
            }
            if (shared.empty()) {
                break;
            }
            common = shared;
            run += strips.at(end);
        }
        s = end;
        const auto widest = std::max_element(
            common.begin(), common.end(),
            [](const Span &a, const Span &b) { return a.width() < b.width(); });
        if (widest == common.end()) {
            pending += run;
            continue;
        }
        QList<int> left;
        QList<int> right;
        for (int i : run) {
            (box(i).maxX() <= widest->from ? left : right).append(i);
        }
        if (isPaired(left, right) && !hasDivider(*widest, run)) {
            pending += run;
            continue;
        }
        flushPending();
        blocks += split(left, depth + 1);
        blocks += split(right, depth + 1);
    }
    flushPending();
    return blocks;
}

bool isUsable(const ExactRect &box)
{
    return std::isfinite(box.x) && std::isfinite(box.y) && std::isfinite(box.width) &&
           std::isfinite(box.height) && box.width >= 0 && box.height > 0;
}

} // namespace

namespace TextBlocks {

QList<QList<RecognizedLine>> split(const QList<RecognizedLine> &lines, const QImage &image)
{
    if (lines.size() <= 1 ||
        !std::all_of(lines.begin(), lines.end(),
                     [](const RecognizedLine &line) { return isUsable(line.box); })) {
        return lines.isEmpty() ? QList<QList<RecognizedLine>>()
                               : QList<QList<RecognizedLine>>{lines};
    }
    QList<int> all;
    for (int i = 0; i < lines.size(); ++i) {
        all.append(i);
    }
    QList<QList<RecognizedLine>> blocks;
    for (QList<int> indices : Splitter(lines, image).split(all)) {
        // Each block's lines in their incoming order, as the rest of the assembly expects.
        std::sort(indices.begin(), indices.end());
        QList<RecognizedLine> block;
        for (int i : indices) {
            block.append(lines.at(i));
        }
        blocks.append(block);
    }
    return blocks;
}

} // namespace TextBlocks
