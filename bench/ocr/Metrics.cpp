// SPDX-License-Identifier: GPL-3.0-or-later
#include "Metrics.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

QString withoutTrailingSpace(const QString &line)
{
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1).isSpace()) {
        --end;
    }
    return line.left(end);
}

} // namespace

namespace Metrics {

QString normalized(const QString &text)
{
    return text.simplified();
}

double characterErrorRate(const QString &truth, const QString &read)
{
    const QString a = normalized(truth);
    const QString b = normalized(read);
    if (a.isEmpty()) {
        return b.isEmpty() ? 0.0 : 1.0;
    }
    std::vector<int> previous(size_t(b.size()) + 1);
    std::vector<int> current(size_t(b.size()) + 1);
    std::iota(previous.begin(), previous.end(), 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int substitution = previous[size_t(j - 1)] + (a.at(i - 1) == b.at(j - 1) ? 0 : 1);
            current[size_t(j)] =
                std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return double(previous[size_t(b.size())]) / double(a.size());
}

int linesFound(const QStringList &truthLines, const QString &read, bool isExact)
{
    const auto form = [isExact](const QString &line) {
        return isExact ? withoutTrailingSpace(line) : normalized(line);
    };
    QStringList readLines;
    for (const QString &line : read.split(QLatin1Char('\n'))) {
        readLines.append(form(line));
    }
    int found = 0;
    for (const QString &line : truthLines) {
        if (readLines.contains(form(line))) {
            ++found;
        }
    }
    return found;
}

int paragraphCount(const QString &read)
{
    static const QRegularExpression blankLine(QStringLiteral("\\n\\s*\\n"));
    int count = 0;
    for (const QString &block : read.split(blankLine)) {
        if (!block.trimmed().isEmpty()) {
            ++count;
        }
    }
    return count;
}

double percentile(QList<double> values, double fraction)
{
    if (values.isEmpty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const double position = fraction * double(values.size() - 1);
    const auto below = qsizetype(std::floor(position));
    const auto above = qsizetype(std::ceil(position));
    const double weight = position - double(below);
    return values.at(below) * (1 - weight) + values.at(above) * weight;
}

double mean(const QList<double> &values)
{
    if (values.isEmpty()) {
        return 0;
    }
    return std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

} // namespace Metrics
