// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Recognition languages are BCP 47 tags ("en", "zh-Hans", "sr-Latn"); the text engine knows them
// by the names of its data files ("eng", "chi_sim", "srp_latn"). One table maps between the two.
namespace RecognitionLanguages {

// Where the engine's language data lives: TESSDATA_PREFIX when set, else the system's folder.
[[nodiscard]] QString dataDirectory();

// The data name for a tag: an exact table entry, else the entry with the same language and
// script (a script left out is the one the language is normally written in). A tag that is
// itself a data name ("eng") is taken as it is. Absent when nothing fits.
[[nodiscard]] std::optional<QString> dataNameForTag(const QString &tag);

// The script a tag is written in (ISO 15924: "Latn", "Cyrl", "Hans", "Jpan"): the one it names,
// else the one its language is usually written in. Empty when unknown.
[[nodiscard]] QString scriptOf(const QString &tag);

// The tag of a data name from the table; absent for names the table does not know.
[[nodiscard]] std::optional<QString> tagForDataName(const QString &dataName);

// Every tag of the table, in table order.
[[nodiscard]] QStringList allTags();

// The data names installed in a folder ("script/Latin" for data in its script subfolder).
[[nodiscard]] QStringList installedDataNames(const QString &directory);

// The installed languages as tags, in table order; orientation and equation data are not
// languages and are left out. Empty when the folder holds no language data.
[[nodiscard]] QStringList installedLanguages(const QString &directory);

// The languages the settings offer. When the data folder cannot be read or holds no language
// this is logged and the list is just "en-US".
[[nodiscard]] QStringList supportedLanguages();

// The data names one recognition loads for the requested tags, in their order, keeping only
// installed ones; English when none of them is. No tags means automatic: the UI languages that
// are installed, plus English. When neither is installed, the first few installed languages.
[[nodiscard]] QStringList dataNamesFor(const QStringList &tags, const QStringList &installed,
                                       const QStringList &uiLanguages);

// The data names with the languages written in Latin letters read by the Latin script model
// ("Latin", from tesseract-ocr-script-latn) where it is installed: one model for all of them,
// which reads program text (quotes, backticks, underscores) far better than "eng", at about
// twice the time. The others stay as they are.
[[nodiscard]] QStringList withScriptModels(const QStringList &dataNames,
                                           const QStringList &installed);

// The data name of the installed Latin script model; absent when it is not installed.
[[nodiscard]] std::optional<QString> latinScriptModel(const QStringList &installed);

// Prepared pictures up to this size (a third of a full HD screen, enlarged) are read with the
// script model where there is one.
inline constexpr double maxScriptModelPixels = 2.5e6;

} // namespace RecognitionLanguages

// The supported identifier that best suits a user's language: the first with the same language
// code and a compatible script, else the first with the same language code, else "en-US".
[[nodiscard]] QString bestLanguageMatch(const QString &language, const QStringList &supported);
