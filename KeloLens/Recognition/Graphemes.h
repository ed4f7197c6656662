// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// User-perceived characters (extended grapheme clusters), the unit in which text rules count.
namespace Graphemes {

[[nodiscard]] QStringList split(const QString &text);
[[nodiscard]] qsizetype count(const QString &text);
// Whether the cluster's first code point has a Unicode letter property.
[[nodiscard]] bool isLetter(const QString &cluster);

} // namespace Graphemes
