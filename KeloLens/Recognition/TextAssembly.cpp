// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TextAssembly.h"

#include "KeloLens/Recognition/Graphemes.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double height(const ExactRect &box)
{
    return std::abs(box.height);
}

// Descending order that stays a strict weak ordering when a key is NaN: NaN keys sort after
// every number, among themselves in their incoming order.
bool higherFirst(double a, double b)
{
    if (std::isnan(a)) {
        return false;
    }
    if (std::isnan(b)) {
        return true;
    }
    return a > b;
}

bool lowerFirst(double a, double b)
{
    if (std::isnan(a)) {
        return false;
    }
    if (std::isnan(b)) {
        return true;
    }
    return a < b;
}

bool isHorizontalWhitespace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString trimmedHorizontally(const QString &line)
{
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && isHorizontalWhitespace(line.at(start))) {
        ++start;
    }
    while (end > start && isHorizontalWhitespace(line.at(end - 1))) {
        --end;
    }
    return line.mid(start, end - start);
}

// True when the text ends in a letter followed by a lone hyphen-minus, compared as whole
// user-perceived characters: a hyphen carrying a combining mark is not a hyphen here.
bool endsWithHyphenatedLetter(const QString &text)
{
    if (!text.endsWith(u'-')) {
        return false;
    }
    // Only the last two clusters matter. Segmenting the whole text at every line made long
    // paragraphs quadratic, so only a tail is segmented, widened while a cluster may reach past
    // its start (a tail's start is always a boundary to the finder).
    for (qsizetype window = 32;; window *= 2) {
        const qsizetype from = std::max<qsizetype>(0, text.size() - window);
        const bool isWhole = from == 0;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from,
                                   text.size() - from);
        finder.toEnd();
        const qsizetype hyphenStart = finder.toPreviousBoundary();
        if (hyphenStart <= 0 && !isWhole) {
            continue;
        }
        if (hyphenStart != text.size() - from - 1 || hyphenStart <= 0) {
            return false;
        }
        const qsizetype letterStart = finder.toPreviousBoundary();
        if (letterStart <= 0 && !isWhole) {
            continue;
        }
        if (letterStart < 0) {
            return false;
        }
        return Graphemes::isLetter(text.mid(from + letterStart, hyphenStart - letterStart));
    }
}

} // namespace

RecognizedLine mergeRow(QList<RecognizedLine> row)
{
    if (row.size() <= 1) {
        return row.isEmpty() ? RecognizedLine{} : row.first();
    }
    std::stable_sort(row.begin(), row.end(), [](const RecognizedLine &a, const RecognizedLine &b) {
        return lowerFirst(a.box.minX(), b.box.minX());
    });
    ExactRect box = row.first().box;
    QStringList texts;
    texts.reserve(row.size());
    for (const RecognizedLine &line : row) {
        box = box.united(line.box);
        texts.append(line.text);
    }
    return {texts.join(u' '), box};
}

QList<RecognizedLine> groupRows(QList<RecognizedLine> lines)
{
    std::stable_sort(lines.begin(), lines.end(),
                     [](const RecognizedLine &a, const RecognizedLine &b) {
                         return higherFirst(a.box.midY(), b.box.midY());
                     });

    QList<QList<RecognizedLine>> rows;
    for (const RecognizedLine &line : lines) {
        if (!rows.isEmpty()) {
            // Compare with the line that started the row, so a slanted line cannot creep
            // upwards one neighbour at a time.
            const RecognizedLine &first = rows.last().first();
            const double d = std::abs(first.box.midY() - line.box.midY());
            const double h1 = height(first.box);
            const double h2 = height(line.box);
            const double t = (std::isnan(h1) || std::isnan(h2))
                                 ? std::numeric_limits<double>::quiet_NaN()
                                 : 0.5 * std::min(h1, h2);
            if (d <= t) {
                rows.last().append(line);
                continue;
            }
        }
        rows.append({line});
    }

    QList<RecognizedLine> merged;
    merged.reserve(rows.size());
    for (const QList<RecognizedLine> &row : rows) {
        merged.append(mergeRow(row));
    }
    return merged;
}

QList<Paragraph> groupParagraphs(QList<RecognizedLine> lines)
{
    QList<RecognizedLine> rows = groupRows(std::move(lines));
    std::stable_sort(rows.begin(), rows.end(),
                     [](const RecognizedLine &a, const RecognizedLine &b) {
                         return higherFirst(a.box.maxY(), b.box.maxY());
                     });
    if (rows.isEmpty()) {
        return {};
    }

    QList<Paragraph> paragraphs;
    Paragraph current{{rows.first().text}};
    const RecognizedLine *previous = &rows.first();
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const RecognizedLine &row = rows.at(i);
        const double gap = previous->box.minY() - row.box.maxY();
        const double limit = 0.8 * height(previous->box);
        if (gap > limit) {
            paragraphs.append(current);
            current = Paragraph{{row.text}};
        } else {
            current.lines.append(row.text);
        }
        previous = &row;
    }
    paragraphs.append(current);
    return paragraphs;
}

QString assembleText(const QList<Paragraph> &paragraphs, LineBreakMode mode, bool stripHyphenation)
{
    const QString separator =
        mode == LineBreakMode::joinParagraphs ? QStringLiteral(" ") : QStringLiteral("\n");
    QStringList texts;
    texts.reserve(paragraphs.size());
    for (const Paragraph &paragraph : paragraphs) {
        QString accumulator;
        for (qsizetype i = 0; i < paragraph.lines.size(); ++i) {
            const QString line = trimmedHorizontally(paragraph.lines.at(i));
            if (i == 0) {
                accumulator = line;
            } else if (stripHyphenation && endsWithHyphenatedLetter(accumulator)) {
                accumulator.chop(1);
                accumulator += line;
            } else {
                accumulator += separator;
                accumulator += line;
            }
        }
        texts.append(accumulator);
    }
    return texts.join(QStringLiteral("\n\n"));
}
