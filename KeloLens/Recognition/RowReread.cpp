// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/RowReread.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

namespace {

struct LostPiece
{
    QRect strip;                  // the row to read again, in prepared pixels
    QList<qsizetype> besideLines; // lines on the same row that the strip takes in
};

bool isOnSameRow(const QRect &a, const QRect &b)
{
    const int overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) + 1;
    return overlap * 2 >= std::min(a.height(), b.height()) &&
           std::max(a.height(), b.height()) <= 2 * std::min(a.height(), b.height());
}

std::optional<LostPiece> lostPieceOfRow(const QImage &image, const QList<LineReading> &lines,
                                        qsizetype index)
{
    constexpr int inkLevel = 128;
    const QRect ink = lines.at(index).inkBox;
    const int height = ink.height();
    if (height < 4) {
        return std::nullopt;
    }
    const int top = std::max(0, ink.top() - height / 4);
    const int bottom = std::min(image.height() - 1, ink.bottom() + height / 4);
    const QRect band(0, top, image.width(), bottom - top + 1);
    // The lines that reach into this row, found once: the scan below asks about them per column.
    QList<qsizetype> nearby;
    for (qsizetype other = 0; other < lines.size(); ++other) {
        const QRect box = lines.at(other).inkBox;
        if (other != index && box.right() > ink.right() && box.intersects(band)) {
            nearby.append(other);
        }
    }
    LostPiece piece;
    int end = ink.right();
    int lastWords = ink.right(); // where the last line's words on this row end
    bool hasLostInk = false;
    int gap = 0;
    for (int x = ink.right() + 1; x < image.width(); ++x) {
        bool isInLine = false;
        bool isBlocked = false;
        for (qsizetype other : nearby) {
            const QRect box = lines.at(other).inkBox;
            if (x < box.left() || x > box.right()) {
                continue;
            }
            if (isOnSameRow(ink, box) && !piece.besideLines.contains(other)) {
                piece.besideLines.append(other);
                x = box.right();
                end = lastWords = x;
                gap = 0;
                isInLine = true;
            } else {
                // A line of another size or on another row: a different column.
                isBlocked = true;
            }
            break;
        }
        if (isBlocked) {
            break;
        }
        if (isInLine) {
            continue;
        }
        bool hasInk = false;
        bool isTaller = false;
        for (int y = top; y <= bottom && !isTaller; ++y) {
            if (image.constScanLine(y)[x] >= inkLevel) {
                continue;
            }
            hasInk = true;
            // Something taller than the row (a picture, a code, a rule) is not lost text.
            isTaller = y == top || y == bottom;
        }
        if (isTaller) {
            break;
        }
        if (hasInk) {
            end = x;
            gap = 0;
            hasLostInk = hasLostInk || x > lastWords + height / 4;
        } else if (++gap > 2 * height) {
            break;
        }
    }
    if (!hasLostInk) {
        return std::nullopt;
    }
    const int left = std::max(0, ink.left() - height / 2);
    const int right = std::min(image.width() - 1, end + height / 2);
    piece.strip = QRect(QPoint(left, top), QPoint(right, bottom));
    // Only the lines the strip takes in whole are read again with it.
    piece.besideLines.removeIf(
        [&](qsizetype other) { return lines.at(other).inkBox.right() > right; });
    return piece;
}

// The strip read as one line. Its words replace the row's when they hold more than the row's
// lines did and the engine is about as sure of them; the lines beside are then taken in.
bool readRowAgain(tesseract::TessBaseAPI &engine, QList<LineReading> &lines, qsizetype index,
                  const LostPiece &piece, const PassLimit &limit)
{
    engine.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    engine.SetRectangle(piece.strip.left(), piece.strip.top(), piece.strip.width(),
                        piece.strip.height());
    tesseract::ETEXT_DESC monitor;
    limit.watch(monitor);
    const bool isRead = engine.Recognize(&monitor) == 0;
    engine.SetPageSegMode(tesseract::PSM_AUTO);
    if (!isRead) {
        return false;
    }
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (!iterator) {
        return false;
    }
    iterator->Begin();
    if (iterator->Empty(tesseract::RIL_WORD)) {
        return false;
    }
    const LineReading again = LineReading::read(*iterator);
    LineReading &line = lines[index];
    qsizetype length = line.text.size();
    double leastConfidence = line.confidence;
    for (qsizetype other : piece.besideLines) {
        length += 1 + lines.at(other).text.size();
        leastConfidence = std::min(leastConfidence, lines.at(other).confidence);
    }
    constexpr double confidenceMargin = 10;
    constexpr double sureEnough = 80;
    if (again.text.size() <= length ||
        again.confidence < std::min(leastConfidence, sureEnough) - confidenceMargin) {
        return false;
    }
    line.text = again.text;
    line.confidence = again.confidence;
    line.wordBoxes = again.wordBoxes;
    line.symbols = again.symbols;
    line.baseline = again.baseline > 0 ? again.baseline : line.baseline;
    line.box = line.box.united(again.box);
    line.inkBox = line.inkBox.united(again.inkBox);
    for (qsizetype other : piece.besideLines) {
        line.box = line.box.united(lines.at(other).box);
        line.inkBox = line.inkBox.united(lines.at(other).inkBox);
    }
    return true;
}

} // namespace

namespace RowReread {

void readRowsAgain(tesseract::TessBaseAPI &engine, const QImage &image, QList<LineReading> &lines,
                   const PassLimit &limit)
{
    QList<bool> isTakenIn(lines.size(), false);
    for (qsizetype i = 0; i < lines.size() && !limit.isReached(); ++i) {
        if (isTakenIn.at(i)) {
            continue;
        }
        const std::optional<LostPiece> piece = lostPieceOfRow(image, lines, i);
        if (piece && readRowAgain(engine, lines, i, *piece, limit)) {
            for (qsizetype other : piece->besideLines) {
                isTakenIn[other] = true;
            }
        }
    }
    qsizetype index = 0;
    lines.removeIf([&](const LineReading &) { return isTakenIn.at(index++); });
}

} // namespace RowReread
