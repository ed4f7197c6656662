// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The languages the distribution ships as packages of their own (Debian's tesseract-ocr-*), and
// how a list of languages relates to what is installed.
namespace LanguagePacks {

struct LanguagePack
{
    // The language's tag from the table of recognition languages ("ru", "zh-Hans").
    QString tag;
    QString package;
    bool isInstalled = false;

    bool operator==(const LanguagePack &) const = default;
};

// The package with a language's data ("tesseract-ocr-chi-sim" for "zh-Hans"); absent for tags
// that name no language data, and for the script models, which are not languages.
[[nodiscard]] std::optional<QString> packageFor(const QString &tag);

// Every language that has a package, the installed ones first (a language is installed when one
// of the `installed` tags reads with its data), each group in table order.
[[nodiscard]] QList<LanguagePack> all(const QStringList &installed);

// Whether `tag` reads with the same data as one of `tags`: "en-US" and "en" are one language to
// the engine.
[[nodiscard]] bool readsLikeAnyOf(const QString &tag, const QStringList &tags);

// The tags whose data is not among the installed data names (unknown tags included), in order.
[[nodiscard]] QStringList missing(const QStringList &tags, const QStringList &installedDataNames);

// The language to suggest installing for text in a script (ISO 15924, "Cyrl"): the most widely
// read language written in it ("ru"). Absent when no language pack reads the script.
[[nodiscard]] std::optional<QString> suggestedFor(const QString &script);

// The command that installs the packages from a terminal.
[[nodiscard]] QString installCommand(const QStringList &packages);

} // namespace LanguagePacks
