// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Accuracy and timing figures, computed the same way for every reader compared.
namespace Metrics {

// Runs of white space as one space, none at the ends.
[[nodiscard]] QString normalized(const QString &text);

// Edit distance between the normalized texts over the truth's length.
[[nodiscard]] double characterErrorRate(const QString &truth, const QString &read);

// How many truth lines appear, normalized, as a whole line of what was read. Program text is
// compared as it stands, indentation and spacing included, but for trailing white space.
[[nodiscard]] int linesFound(const QStringList &truthLines, const QString &read,
                             bool isExact = false);

// Blocks of text separated by blank lines.
[[nodiscard]] int paragraphCount(const QString &read);

[[nodiscard]] double percentile(QList<double> values, double fraction);
[[nodiscard]] double mean(const QList<double> &values);

} // namespace Metrics
