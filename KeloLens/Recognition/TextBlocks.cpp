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
// Lines on one row lie this close in height, in shares of the lower one: a label and its value
// share a baseline. Half a line would pair a sidebar's widely spaced items with the lines of the
// page beside them about as often as not.
constexpr double pairedRowOffset = 0.3;
// Columns overlap in height by at least this share of the shorter one.
constexpr double sideBySideOverlap = 0.5;
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
        : m_lines(lines), m_image(image)
    {
    }

    [[nodiscard]] QList<QList<int>> split(QList<int> indices, int depth = 0) const;

private:
    [[nodiscard]] const ExactRect &box(int i) const { return m_lines.at(i).box; }
    [[nodiscard]] double medianHeight(const QList<int> &indices) const;
    [[nodiscard]] std::vector<Span> gutters(const QList<int> &indices, double minWidth) const;
    [[nodiscard]] bool isSideBySide(const QList<int> &left, const QList<int> &right) const;
    [[nodiscard]] bool isPaired(const QList<int> &left, const QList<int> &right) const;
    [[nodiscard]] bool hasDivider(const Span &gutter, const QList<int> &indices) const;

    const QList<RecognizedLine> &m_lines;
    QImage m_image;
    // Made when a gutter is first looked into: most captures have none.
    mutable QImage m_grey;
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

// Columns stand beside each other: lines indented further than those above and below are not a
// column of their own.
bool Splitter::isSideBySide(const QList<int> &left, const QList<int> &right) const
{
    const auto extent = [this](const QList<int> &indices) {
        Span span{box(indices.first()).minY(), box(indices.first()).maxY()};
        for (int i : indices) {
            span.from = std::min(span.from, box(i).minY());
            span.to = std::max(span.to, box(i).maxY());
        }
        return span;
    };
    if (left.isEmpty() || right.isEmpty()) {
        return false;
    }
    const Span a = extent(left);
    const Span b = extent(right);
    const double overlap = std::min(a.to, b.to) - std::max(a.from, b.from);
    return overlap >= sideBySideOverlap * std::min(a.width(), b.width());
}

bool Splitter::isPaired(const QList<int> &left, const QList<int> &right) const
{
    const QList<int> &fewer = left.size() <= right.size() ? left : right;
    const QList<int> &more = left.size() <= right.size() ? right : left;
    int paired = 0;
    for (int a : fewer) {
        paired += std::any_of(more.begin(), more.end(), [&](int b) {
            return std::abs(box(a).midY() - box(b).midY()) <=
                   pairedRowOffset * std::min(std::abs(box(a).height), std::abs(box(b).height));
        });
    }
    return paired >= pairedShare * double(fewer.size());
}

// A vertical rule in the gutter, or panes of different colours meeting in it.
bool Splitter::hasDivider(const Span &gutter, const QList<int> &indices) const
{
    if (m_image.isNull()) {
        return false;
    }
    if (m_grey.isNull()) {
        m_grey = m_image.convertToFormat(QImage::Format_Grayscale8);
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

// Cut along a gutter free of every line from top to bottom when it divides columns; else cut
// at the widest gap between rows and look again in each part, so that a heading or a footer
// across both columns does not hide their gutter. Parts that divided nothing are one block again.
QList<QList<int>> Splitter::split(QList<int> indices, int depth) const
{
    constexpr int maxDepth = 64;
    if (indices.size() <= 1 || depth > maxDepth) {
        return {indices};
    }
    std::vector<Span> candidates = gutters(indices, minGutterLineHeights * medianHeight(indices));
    std::sort(candidates.begin(), candidates.end(),
              [](const Span &a, const Span &b) { return a.width() > b.width(); });
    for (const Span &gutter : candidates) {
        QList<int> left;
        QList<int> right;
        for (int i : indices) {
            (box(i).maxX() <= gutter.from ? left : right).append(i);
        }
        if (isSideBySide(left, right) && (!isPaired(left, right) || hasDivider(gutter, indices))) {
            return split(left, depth + 1) + split(right, depth + 1);
        }
    }

    // The widest gap between rows, top to bottom.
    QList<int> byTop = indices;
    std::stable_sort(byTop.begin(), byTop.end(),
                     [&](int a, int b) { return box(a).maxY() > box(b).maxY(); });
    double reach = box(byTop.first()).minY();
    double widestGap = 0;
    qsizetype cut = -1;
    for (qsizetype n = 1; n < byTop.size(); ++n) {
        const double gap = reach - box(byTop.at(n)).maxY();
        if (gap > widestGap) {
            widestGap = gap;
            cut = n;
        }
        reach = std::min(reach, box(byTop.at(n)).minY());
    }
    if (cut < 0) {
        return {indices};
    }
    const QList<QList<int>> above = split(byTop.mid(0, cut), depth + 1);
    const QList<QList<int>> below = split(byTop.mid(cut), depth + 1);
    if (above.size() == 1 && below.size() == 1) {
        return {indices};
    }
    return above + below;
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
