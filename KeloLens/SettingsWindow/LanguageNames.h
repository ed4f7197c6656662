// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

namespace LanguageNames {

// The name of a language tag ("en-US", "zh-Hans") in the given locale's language, as a list or
// menu shows it ("English (United States)"); the tag itself when the locale has no name for it.
[[nodiscard]] QString displayName(const QString &tag, const QLocale &locale = QLocale());

} // namespace LanguageNames
