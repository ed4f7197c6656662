// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LostText.h"

#include "KeloLens/Recognition/ImagePreparation.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <vector>

namespace {

constexpr int inkLevel = 128;
// Ink is gathered on a coarse grid of cells, an eighth of a line high. Ink this many line
// heights apart across (a few spaces), or down (the gap between lines), is one piece of text.
constexpr int cellsPerLine = 8;
constexpr double joinAcrossLines = 1.5;
constexpr double joinDownLines = 0.6;
// Text covers a small share of its box; codes and pictures cover much more.
constexpr double maxTextDensity = 0.4;
// Smaller pieces are specks: a dot, the corner of a frame.
constexpr double minPieceLines = 0.4;
constexpr int minPieceInk = 12;
// At most this many pieces are read again, the largest first, so that a noisy picture the
// layout did not set aside cannot cost a read per speck.
constexpr int maxPieces = 12;
// A line read in a piece that shares this much of its box, or of a line read before, with one
// read before is that line again.
constexpr double maxSharedArea = 0.5;

struct Piece
{
    QRect box; // in pixels
    int ink = 0;
};

class CoarseGrid
{
public:
    CoarseGrid(int width, int height, int lineHeight)
        : m_cellSize(std::max(2, lineHeight / cellsPerLine)),
          m_joinAcross(int(std::ceil(joinAcrossLines * lineHeight / m_cellSize))),
          m_joinDown(int(std::ceil(joinDownLines * lineHeight / m_cellSize))),
          m_columns((width + m_cellSize - 1) / m_cellSize),
          m_rows((height + m_cellSize - 1) / m_cellSize),
          m_covered(size_t(m_columns) * size_t(m_rows), false),
          m_ink(size_t(m_columns) * size_t(m_rows), 0)
    {
    }

    [[nodiscard]] int cellSize() const { return m_cellSize; }

    void cover(const QRect &area)
    {
        const int x0 = std::max(0, area.left() / m_cellSize);
        const int x1 = std::min(m_columns - 1, area.right() / m_cellSize);
        const int y0 = std::max(0, area.top() / m_cellSize);
        const int y1 = std::min(m_rows - 1, area.bottom() / m_cellSize);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                m_covered[index(x, y)] = true;
            }
        }
    }

    void countInk(const QImage &image)
    {
        for (int y = 0; y < image.height(); ++y) {
            const uchar *row = image.constScanLine(y);
            const int cellRow = y / m_cellSize;
            for (int x = 0; x < image.width(); ++x) {
                if (row[x] < inkLevel && !m_covered[index(x / m_cellSize, cellRow)]) {
                    ++m_ink[index(x / m_cellSize, cellRow)];
                }
            }
        }
    }

    // Connected stretches of uncovered ink, cells within reach of each other joined.
    [[nodiscard]] std::vector<Piece> pieces() const
    {
        std::vector<int> label(m_ink.size(), -1);
        std::vector<Piece> found;
        std::vector<std::pair<int, int>> stack;
        for (int y = 0; y < m_rows; ++y) {
            for (int x = 0; x < m_columns; ++x) {
                if (m_ink[index(x, y)] == 0 || label[index(x, y)] >= 0) {
                    continue;
                }
                const int id = int(found.size());
                found.push_back({});
                stack.push_back({x, y});
                label[index(x, y)] = id;
                while (!stack.empty()) {
                    const auto [cx, cy] = stack.back();
                    stack.pop_back();
                    Piece &piece = found.back();
                    piece.box |= QRect(cx * m_cellSize, cy * m_cellSize, m_cellSize, m_cellSize);
                    piece.ink += m_ink[index(cx, cy)];
                    for (int ny = std::max(0, cy - m_joinDown);
                         ny <= std::min(m_rows - 1, cy + m_joinDown); ++ny) {
                        for (int nx = std::max(0, cx - m_joinAcross);
                             nx <= std::min(m_columns - 1, cx + m_joinAcross); ++nx) {
                            if (m_ink[index(nx, ny)] > 0 && label[index(nx, ny)] < 0) {
                                label[index(nx, ny)] = id;
                                stack.push_back({nx, ny});
                            }
                        }
                    }
                }
            }
        }
        return found;
    }

private:
    [[nodiscard]] size_t index(int x, int y) const { return size_t(y) * size_t(m_columns) + x; }

    int m_cellSize;
    int m_joinAcross;
    int m_joinDown;
    int m_columns;
    int m_rows;
    std::vector<bool> m_covered;
    std::vector<int> m_ink;
};

// The typical height of the lines read, or of the ink's rows when none was.
int lineHeightOf(const QImage &image, const QList<LineReading> &lines)
{
    std::vector<int> heights;
    for (const LineReading &line : lines) {
        heights.push_back(line.box.height());
    }
    if (heights.empty()) {
        return ImagePreparation::typicalLineHeight(image, 255);
    }
    std::nth_element(heights.begin(), heights.begin() + long(heights.size() / 2), heights.end());
    return heights[heights.size() / 2];
}

std::vector<QRect> lostPieces(const QImage &image, const QList<LineReading> &lines,
                              const QList<QRect> &pictures)
{
    const int lineHeight = lineHeightOf(image, lines);
    if (lineHeight <= 0) {
        return {};
    }
    CoarseGrid grid(image.width(), image.height(), lineHeight);
    for (const LineReading &line : lines) {
        const int height = line.box.height();
        grid.cover(line.box.adjusted(-height / 2, -height / 4, height / 2, height / 4));
    }
    for (const QRect &picture : pictures) {
        grid.cover(
            picture.adjusted(-grid.cellSize(), -grid.cellSize(), grid.cellSize(), grid.cellSize()));
    }
    grid.countInk(image);
    std::vector<Piece> pieces = grid.pieces();
    std::erase_if(pieces, [lineHeight](const Piece &piece) {
        // The box is in whole cells; the ink's own box is a little smaller.
        const double area = double(piece.box.width()) * piece.box.height();
        return piece.box.height() < minPieceLines * lineHeight || piece.ink < minPieceInk ||
               piece.ink > maxTextDensity * area;
    });
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece &a, const Piece &b) { return a.ink > b.ink; });
    std::vector<QRect> boxes;
    for (const Piece &piece : pieces) {
        if (int(boxes.size()) == maxPieces) {
            break;
        }
        const int margin = lineHeight / 3;
        boxes.push_back(piece.box.adjusted(-margin, -margin, margin, margin) & image.rect());
    }
    return boxes;
}

void readPiece(tesseract::TessBaseAPI &engine, const QRect &area, QList<LineReading> &lines,
               const PassLimit &limit)
{
    engine.SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
    engine.SetRectangle(area.left(), area.top(), area.width(), area.height());
    tesseract::ETEXT_DESC monitor;
    limit.watch(monitor);
    const bool isRead = engine.Recognize(&monitor) == 0;
    engine.SetPageSegMode(tesseract::PSM_AUTO);
    if (!isRead) {
        return;
    }
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (!iterator) {
        return;
    }
    iterator->Begin();
    if (iterator->Empty(tesseract::RIL_WORD)) {
        return;
    }
    // The piece's box may take in lines read before: a line that lies over one of them is that
    // line read again, and would stand twice.
    const qsizetype readBefore = lines.size();
    const auto isReadBefore = [&](const QRect &box) {
        return std::any_of(lines.begin(), lines.begin() + readBefore, [&](const LineReading &old) {
            const QRect shared = old.inkBox & box;
            return !shared.isEmpty() &&
                   double(shared.width()) * shared.height() >=
                       maxSharedArea * std::min(double(old.inkBox.width()) * old.inkBox.height(),
                                                double(box.width()) * box.height());
        });
    };
    do {
        LineReading line = LineReading::read(*iterator);
        if (!line.text.isEmpty() && !isReadBefore(line.inkBox)) {
            lines.append(std::move(line));
        }
    } while (iterator->Next(tesseract::RIL_WORD));
}

} // namespace

namespace LostText {

void readAgain(tesseract::TessBaseAPI &engine, const QImage &image, QList<LineReading> &lines,
               const QList<QRect> &pictures, const PassLimit &limit)
{
    for (const QRect &piece : lostPieces(image, lines, pictures)) {
        if (limit.isReached()) {
            return;
        }
        readPiece(engine, piece, lines, limit);
    }
}

} // namespace LostText
