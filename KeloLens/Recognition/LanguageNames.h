// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

namespace LanguageNames {

// The name of a language tag ("en-US", "zh-Hans") in the given locale's language, as a list or
// menu shows it ("English (United States)"); the tag itself when the locale has no name for it.
// The vertical and historical variants of the text engine's data say so ("Japanese (vertical)").
[[nodiscard]] QString displayName(const QString &tag, const QLocale &locale = QLocale());

// The name of a script from its ISO 15924 code ("Cyrl": "Cyrillic") in the locale's language; the
// code itself when the locale has no name for it.
[[nodiscard]] QString scriptName(const QString &code, const QLocale &locale = QLocale());

} // namespace LanguageNames
