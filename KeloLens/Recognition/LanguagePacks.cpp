// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LanguagePacks.h"

#include "KeloLens/Recognition/RecognitionLanguages.h"

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

QString installCommand(const QStringList &packages)
{
    return QStringLiteral("sudo apt install ") + packages.join(u' ');
}

} // namespace LanguagePacks
