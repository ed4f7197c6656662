// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LanguagePacks.h"

#include "KeloLens/Recognition/RecognitionLanguages.h"

#include <array>
#include <utility>

namespace {

// Where a script is written by several languages, the one most people read; other scripts have
// one language pack, found by its script.
constexpr std::array<std::pair<const char *, const char *>, 12> widestLanguages = {{
    {"Latn", "en"},
    {"Cyrl", "ru"},
    {"Arab", "ar"},
    {"Deva", "hi"},
    {"Beng", "bn"},
    {"Hani", "zh-Hans"},
    {"Hang", "ko"},
    {"Hira", "ja"},
    {"Kana", "ja"},
    {"Ethi", "am"},
    {"Hebr", "he"},
    {"Syrc", "syr"},
}};

} // namespace

namespace LanguagePacks {

std::optional<QString> packageFor(const QString &tag)
{
    const std::optional<QString> dataName = RecognitionLanguages::dataNameForTag(tag);
    if (!dataName || dataName->startsWith(QLatin1String("script/")) ||
        !RecognitionLanguages::tagForDataName(*dataName)) {
        return std::nullopt;
    }
    return QStringLiteral("tesseract-ocr-") + dataName->toLower().replace(u'_', u'-');
}

QList<LanguagePack> all(const QStringList &installed)
{
    QList<LanguagePack> present;
    QList<LanguagePack> absent;
    for (const QString &tag : RecognitionLanguages::allTags()) {
        const std::optional<QString> package = packageFor(tag);
        if (!package) {
            continue;
        }
        const bool isInstalled = readsLikeAnyOf(tag, installed);
        (isInstalled ? present : absent).append({tag, *package, isInstalled});
    }
    return present + absent;
}

bool readsLikeAnyOf(const QString &tag, const QStringList &tags)
{
    const std::optional<QString> dataName = RecognitionLanguages::dataNameForTag(tag);
    return dataName && std::any_of(tags.begin(), tags.end(), [&](const QString &other) {
               return RecognitionLanguages::dataNameForTag(other) == dataName;
           });
}

QStringList missing(const QStringList &tags, const QStringList &installedDataNames)
{
    QStringList result;
    for (const QString &tag : tags) {
        const std::optional<QString> dataName = RecognitionLanguages::dataNameForTag(tag);
        if (!dataName || !installedDataNames.contains(*dataName)) {
            result.append(tag);
        }
    }
    return result;
}

std::optional<QString> suggestedFor(const QString &script)
{
    for (const auto &[code, tag] : widestLanguages) {
        if (script == QLatin1String(code)) {
            return QString::fromLatin1(tag);
        }
    }
    for (const QString &tag : RecognitionLanguages::allTags()) {
        if (packageFor(tag) && RecognitionLanguages::scriptOf(tag) == script) {
            return tag;
        }
    }
    return std::nullopt;
}

QString installCommand(const QStringList &packages)
{
    return QStringLiteral("sudo apt install ") + packages.join(u' ');
}

} // namespace LanguagePacks
