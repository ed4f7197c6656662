// SPDX-License-Identifier: GPL-3.0-or-later
#include "Table.h"

#include <cstdio>

namespace Table {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

void heading(const QString &title)
{
    out() << '\n' << title << '\n';
}

void row(const QString &label, const QStringList &cells)
{
    // A label or cell wider than its column still keeps a space before the next one.
    out() << label.leftJustified(33) << ' ';
    for (const QString &cell : cells) {
        out() << cell.leftJustified(21) << ' ';
    }
    out() << '\n';
    out().flush();
}

QString percent(double value)
{
    return QString::number(value * 100, 'f', 2) + QLatin1Char('%');
}

QString ms(double value)
{
    return QString::number(value, 'f', 0) + QStringLiteral(" ms");
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString goal(bool isMet)
{
    return isMet ? QStringLiteral("met") : QStringLiteral("MISSED");
}

} // namespace Table
