// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// The benchmark's printed tables: a label column, then one column per reader compared.
namespace Table {

[[nodiscard]] QTextStream &out();

void heading(const QString &title);
void row(const QString &label, const QStringList &cells);

[[nodiscard]] QString percent(double value);
[[nodiscard]] QString ms(double value);
[[nodiscard]] QString fixed(double value, int decimals = 3);
[[nodiscard]] QString goal(bool isMet);

} // namespace Table
