// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TextAssembly.h"

#include "KeloLens/Recognition/Graphemes.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Deeper than this is not indentation but a line placed far to the right of the rest.
constexpr double maxIndent = 200;

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

QString trimmedAtEnd(const QString &line)
{
    qsizetype end = line.size();
    while (end > 0 && isHorizontalWhitespace(line.at(end - 1))) {
        --end;
    }
    return line.left(end);
}

bool isWordCharacter(QChar c)
{
    return c.isLetter() || c.isMark();
}

// The letters a hyphenated line end stops with, and those the next line starts with.
QString trailingLetters(const QString &text)
{
    qsizetype start = text.size();
    while (start > 0 && isWordCharacter(text.at(start - 1))) {
        --start;
    }
    return text.mid(start);
}

QString leadingLetters(const QString &text)
{
    qsizetype end = 0;
    while (end < text.size() && isWordCharacter(text.at(end))) {
        ++end;
    }
    return text.left(end);
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

bool isOnSameGrid(const RecognizedLine &a, const RecognizedLine &b)
{
    return a.cellWidth > 0 && b.cellWidth > 0 &&
           std::abs(a.cellWidth - b.cellWidth) <= 0.1 * std::max(a.cellWidth, b.cellWidth);
}

// Cells between `from` and the start of `line`; NaN when either is not a number.
double cellsBetween(double from, const RecognizedLine &line)
{
    return std::round((line.box.minX() - from) / line.cellWidth);
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
    QString text = row.first().text;
    bool isMonospace = row.first().cellWidth > 0;
    for (qsizetype i = 1; i < row.size(); ++i) {
        const RecognizedLine &line = row.at(i);
        box = box.united(line.box);
        const double column = cellsBetween(row.first().box.minX(), line);
        const qsizetype written = Graphemes::count(text);
        if (isMonospace && isOnSameGrid(row.first(), line) && column > double(written)) {
            text += QString(qsizetype(column) - written, u' ');
        } else {
            text += u' ';
            isMonospace = false;
        }
        text += line.text;
    }
    return {text, box, isMonospace ? row.first().cellWidth : 0};
}

namespace {

// Monospace rows get their indentation, in cells, against the leftmost of them.
void indentMonospaceRows(QList<RecognizedLine> &rows)
{
    std::vector<double> cells;
    double left = std::numeric_limits<double>::infinity();
    for (const RecognizedLine &row : rows) {
        if (row.cellWidth > 0 && std::isfinite(row.box.minX())) {
            cells.push_back(row.cellWidth);
            left = std::min(left, row.box.minX());
        }
    }
    if (cells.empty()) {
        return;
    }
    for (RecognizedLine &row : rows) {
        if (row.cellWidth <= 0 || !std::isfinite(row.box.minX())) {
            continue;
        }
        const double indent = cellsBetween(left, row);
        if (indent >= 1 && indent < maxIndent) {
            row.text.prepend(QString(qsizetype(indent), u' '));
        }
    }
}

} // namespace

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
    indentMonospaceRows(rows);
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

QString assembleText(const QList<Paragraph> &paragraphs, LineBreakMode mode, bool stripHyphenation,
                     const AssemblyHints &hints)
{
    const bool isJoined = mode == LineBreakMode::joinParagraphs;
    const QString separator = isJoined ? QStringLiteral(" ") : QStringLiteral("\n");
    const bool keepsIndentation = hints.isPreformatted && !isJoined;
    const bool joinsHyphens = stripHyphenation && !hints.isPreformatted;
    QStringList texts;
    texts.reserve(paragraphs.size());
    for (const Paragraph &paragraph : paragraphs) {
        QString accumulator;
        for (qsizetype i = 0; i < paragraph.lines.size(); ++i) {
            const QString line = keepsIndentation ? trimmedAtEnd(paragraph.lines.at(i))
                                                  : trimmedHorizontally(paragraph.lines.at(i));
            if (i == 0) {
                accumulator = line;
            } else if (joinsHyphens && endsWithHyphenatedLetter(accumulator)) {
                const QString tail = leadingLetters(line);
                if (!hints.isWord) {
                    accumulator.chop(1);
                } else if (tail.isEmpty()) {
                    accumulator += separator;
                } else if (hints.isWord(trailingLetters(accumulator.chopped(1)) + tail)) {
                    accumulator.chop(1);
                }
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
