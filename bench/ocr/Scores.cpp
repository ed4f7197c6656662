// SPDX-License-Identifier: GPL-3.0-or-later
#include "Scores.h"

#include "Metrics.h"
#include "Table.h"

#include <algorithm>

namespace {

QStringList truthLinesOf(const CorpusImage &item)
{
    QStringList lines;
    for (const QStringList &paragraph : item.paragraphs) {
        lines += paragraph;
    }
    return lines;
}

} // namespace

void Score::add(const CorpusImage &item, const QString &text)
{
    const QStringList truthLines = truthLinesOf(item);
    QStringList truthParagraphs;
    for (const QStringList &paragraph : item.paragraphs) {
        truthParagraphs.append(paragraph.join(QLatin1Char('\n')));
    }
    const double rate =
        Metrics::characterErrorRate(truthParagraphs.join(QStringLiteral("\n\n")), text);
    cer.append(rate);
    cerByTheme[item.theme].append(rate);
    const int found = Metrics::linesFound(truthLines, text, item.kind == TextKind::code);
    linesFound += found;
    linesTotal += int(truthLines.size());
    auto &[kindFound, kindTotal] = linesByKind[item.kind];
    kindFound += found;
    kindTotal += int(truthLines.size());
    paragraphsRight += Metrics::paragraphCount(text) == item.paragraphs.size() ? 1 : 0;
    ++images;
}

double Score::meanCer() const
{
    return Metrics::mean(cer);
}

double Score::recall() const
{
    return linesTotal ? double(linesFound) / linesTotal : 0.0;
}

double Score::paragraphAccuracy() const
{
    return images ? double(paragraphsRight) / images : 0.0;
}

double Score::recall(TextKind kind) const
{
    const auto it = linesByKind.find(kind);
    return it == linesByKind.end() || it->second.second == 0
               ? 0.0
               : double(it->second.first) / it->second.second;
}

bool Score::hasKind(TextKind kind) const
{
    return linesByKind.count(kind) > 0;
}

void CodeScore::add(const CorpusImage &item, const QStringList &payloads)
{
    expected += int(item.payloads.size());
    for (const QString &payload : item.payloads) {
        found += payloads.contains(payload) ? 1 : 0;
    }
    for (const QString &payload : payloads) {
        falsePositives += item.payloads.contains(payload) ? 0 : 1;
    }
}

QString CodeScore::foundText() const
{
    return QStringLiteral("%1/%2").arg(found).arg(expected);
}

void printDifferences(const CorpusImage &item, const QString &text, const QStringList &payloads)
{
    QTextStream &out = Table::out();
    const QStringList truthLines = truthLinesOf(item);
    for (const QString &line : truthLines) {
        if (Metrics::linesFound({line}, text, item.kind == TextKind::code) == 0) {
            out << item.name << ": missed line \"" << line << "\"\n";
        }
    }
    if (!item.payloads.isEmpty() || !payloads.isEmpty()) {
        for (const QString &payload : item.payloads) {
            if (!payloads.contains(payload)) {
                out << item.name << ": missed code \"" << payload << "\"\n";
            }
        }
        for (const QString &payload : payloads) {
            if (!item.payloads.contains(payload)) {
                out << item.name << ": false code \"" << payload << "\"\n";
            }
        }
    } else if (Metrics::paragraphCount(text) != item.paragraphs.size()) {
        out << item.name << ": " << Metrics::paragraphCount(text) << " paragraphs, drawn "
            << item.paragraphs.size() << ":\n"
            << text << "\n---\n";
    }
    if (Metrics::characterErrorRate(truthLines.join(QLatin1Char(' ')), text) > 0 &&
        item.payloads.isEmpty()) {
        out << item.name << ": read\n" << text << "\n---\n";
    }
}
