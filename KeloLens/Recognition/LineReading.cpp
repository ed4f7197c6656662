// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LineReading.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tesseract/resultiterator.h>

namespace {

// The ink of "Phone: 0800" ends at the baseline while "Mail jenny@example.org" reaches below it,
// and paragraphs are found from the gaps between line boxes; so a line's box spans its row's
// ascenders and descenders, whatever its own letters are. The row measurements come from the
// engine's fit of the whole row; an implausible fit leaves the ink box alone.
QRect withTypographicHeight(const tesseract::ResultIterator &iterator, const QRect &ink)
{
    if (ink.isEmpty()) {
        return ink;
    }
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    if (!iterator.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2)) {
        return ink;
    }
    float rowHeight = 0;
    float descenders = 0;
    float ascenders = 0;
    iterator.RowAttributes(&rowHeight, &descenders, &ascenders);
    if (!std::isfinite(rowHeight) || !std::isfinite(descenders) || rowHeight <= 0 ||
        rowHeight > 3.0f * float(ink.height()) || descenders > 0) {
        return ink;
    }
    const double baseline = (y1 + y2) / 2.0;
    const int top = std::min(ink.top(), int(std::lround(baseline - rowHeight - descenders)));
    const int bottom = std::max(ink.top() + ink.height(), int(std::lround(baseline - descenders)));
    return QRect(ink.left(), top, ink.width(), bottom - top);
}

// The engine can take a speck of the row below into a character (the dot of a ";" right under a
// "{") and stretch the word's box over half of that row, which then looks read and is lost.
// Descenders reach less far below the baseline than this share of the line's height above it.
void keepToOwnRow(LineReading &line)
{
    constexpr double maxDescent = 0.6;
    const int ascent = line.baseline - line.box.top();
    if (ascent <= 0 || line.baseline >= line.box.bottom()) {
        return;
    }
    const int bottom = line.baseline + int(std::ceil(maxDescent * ascent));
    if (line.box.bottom() <= bottom) {
        return;
    }
    line.box.setBottom(bottom);
    const auto clip = [bottom](QRect &box) {
        if (box.bottom() > bottom) {
            box.setBottom(std::max(box.top(), bottom));
        }
    };
    for (QRect &word : line.wordBoxes) {
        clip(word);
    }
    for (SymbolReading &symbol : line.symbols) {
        clip(symbol.box);
    }
}

void appendSymbols(const tesseract::ResultIterator &word, int wordIndex,
                   QList<SymbolReading> &symbols)
{
    tesseract::ResultIterator symbol(word);
    do {
        const std::unique_ptr<char[]> raw(symbol.GetUTF8Text(tesseract::RIL_SYMBOL));
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        if (raw && symbol.BoundingBox(tesseract::RIL_SYMBOL, &left, &top, &right, &bottom)) {
            symbols.append({QString::fromUtf8(raw.get()),
                            QRect(left, top, right - left, bottom - top), wordIndex});
        }
    } while (!symbol.IsAtFinalElement(tesseract::RIL_WORD, tesseract::RIL_SYMBOL) &&
             symbol.Next(tesseract::RIL_SYMBOL));
}

} // namespace

LineReading LineReading::read(tesseract::ResultIterator &iterator)
{
    LineReading line;
    QStringList words;
    double confidenceSum = 0;
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    if (iterator.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2)) {
        line.baseline = (y1 + y2) / 2;
    }
    do {
        const std::unique_ptr<char[]> raw(iterator.GetUTF8Text(tesseract::RIL_WORD));
        const QString word = raw ? QString::fromUtf8(raw.get()).trimmed() : QString();
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        if (!iterator.BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) {
            continue;
        }
        const QRect box(left, top, right - left, bottom - top);
        if (word.isEmpty()) {
            line.emptyWords.append(box);
            continue;
        }
        appendSymbols(iterator, int(words.size()), line.symbols);
        words.append(word);
        line.wordBoxes.append(box);
        line.box = line.box.united(box);
        confidenceSum += double(iterator.Confidence(tesseract::RIL_WORD));
    } while (!iterator.IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_WORD) &&
             iterator.Next(tesseract::RIL_WORD));
    line.text = words.join(QLatin1Char(' '));
    keepToOwnRow(line);
    line.inkBox = line.box;
    line.confidence = words.isEmpty() ? 0 : confidenceSum / double(words.size());
    line.box = withTypographicHeight(iterator, line.box);
    return line;
}

QList<LineReading> LineReading::splitAtGaps(int minGap) const
{
    QList<LineReading> pieces;
    const QStringList words = text.split(QLatin1Char(' '));
    if (words.size() != wordBoxes.size() || words.size() < 2) {
        return {*this};
    }
    qsizetype first = 0;
    for (qsizetype w = 1; w <= words.size(); ++w) {
        if (w < words.size() && wordBoxes.at(w).left() - wordBoxes.at(w - 1).right() <= minGap) {
            continue;
        }
        LineReading piece = *this;
        piece.text = words.mid(first, w - first).join(QLatin1Char(' '));
        piece.wordBoxes = wordBoxes.mid(first, w - first);
        QRect ink;
        for (const QRect &box : piece.wordBoxes) {
            ink |= box;
        }
        piece.inkBox = ink;
        piece.box = QRect(ink.left(), box.top(), ink.width(), box.height());
        piece.symbols.clear();
        for (const SymbolReading &symbol : symbols) {
            if (symbol.word >= first && symbol.word < w) {
                piece.symbols.append(symbol);
                piece.symbols.last().word -= int(first);
            }
        }
        pieces.append(std::move(piece));
        first = w;
    }
    return pieces;
}
