// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/RecognitionNotices.h"

#include "KeloLens/Recognition/LanguageNames.h"
#include "KeloLens/Recognition/LanguagePacks.h"

#include <QLocale>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcLanguages, "kelolens.capture")

// "French", "French and Italian", "French, Italian and Welsh".
QString listOfNames(const QStringList &tags)
{
    QStringList names;
    for (const QString &tag : tags) {
        names << LanguageNames::displayName(tag, QLocale());
    }
    if (names.size() < 2) {
        return names.value(0);
    }
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

} // namespace

std::optional<QString> RecognitionNotices::missingLanguages(const RecognitionNotes &notes,
                                                            const QStringList &requested)
{
    const QStringList &missing = notes.missingLanguages;
    if (missing.isEmpty() || std::all_of(missing.begin(), missing.end(), [this](const QString &t) {
            return m_toldLanguages.contains(t);
        })) {
        return std::nullopt;
    }
    for (const QString &tag : missing) {
        if (m_toldLanguages.contains(tag)) {
            continue;
        }
        m_toldLanguages.insert(tag);
        const std::optional<QString> package = LanguagePacks::packageFor(tag);
        qCWarning(lcLanguages).noquote()
            << QStringLiteral("KeloLens: recognition language %1 (%2) is not installed%3; "
                              "captures are read without it")
                   .arg(tag, LanguageNames::displayName(tag, QLocale()),
                        package ? QStringLiteral(" (package %1)").arg(*package) : QString());
    }
    // With none of them there, the recognizer read English.
    const bool isNoneLeft = std::all_of(requested.begin(), requested.end(),
                                        [&](const QString &tag) { return missing.contains(tag); });
    return QStringLiteral("%1 %2 installed, so this capture was read %3.")
        .arg(listOfNames(missing),
             missing.size() == 1 ? QStringLiteral("isn't") : QStringLiteral("aren't"),
             isNoneLeft            ? QStringLiteral("in English")
             : missing.size() == 1 ? QStringLiteral("without it")
                                   : QStringLiteral("without them"));
}

std::optional<QString> RecognitionNotices::unreadScript(const RecognitionNotes &notes)
{
    const QString &script = notes.unreadScript;
    if (script.isEmpty() || m_toldScripts.contains(script)) {
        return std::nullopt;
    }
    m_toldScripts.insert(script);
    const QString scriptName = LanguageNames::scriptName(script, QLocale());
    const std::optional<QString> language = LanguagePacks::suggestedFor(script);
    if (!language) {
        qCWarning(lcLanguages).noquote()
            << QStringLiteral("KeloLens: the text looks %1; no language pack reads it").arg(script);
        return QStringLiteral("This looks like %1 text, which KeloLens can't read.")
            .arg(scriptName);
    }
    const QString languageName = LanguageNames::displayName(*language, QLocale());
    qCWarning(lcLanguages).noquote()
        << QStringLiteral("KeloLens: the text looks %1, which no installed language reads; "
                          "install %2 (package %3) to read it")
               .arg(script, languageName, LanguagePacks::packageFor(*language).value_or(QString()));
    return QStringLiteral("This looks like %1 text. Install %2 to read it.")
        .arg(scriptName, languageName);
}
