// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LanguageNames.h"

#include <memory>
#include <unicode/locdspnm.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace LanguageNames {
namespace {

std::unique_ptr<icu::LocaleDisplayNames> namesIn(const QLocale &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale displayLocale =
        icu::Locale::forLanguageTag(locale.bcp47Name().toStdString(), status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    // Without substitution ICU answers nothing rather than echoing codes it has no name for.
    UDisplayContext contexts[] = {UDISPCTX_CAPITALIZATION_FOR_UI_LIST_OR_MENU,
                                  UDISPCTX_NO_SUBSTITUTE};
    return std::unique_ptr<icu::LocaleDisplayNames>(
        icu::LocaleDisplayNames::createInstance(displayLocale, contexts, 2));
}

QString fromIcu(const icu::UnicodeString &text)
{
    if (text.isBogus() || text.isEmpty()) {
        return {};
    }
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

QString icuName(const QString &tag, const QLocale &locale)
{
    const std::unique_ptr<icu::LocaleDisplayNames> names = namesIn(locale);
    if (!names) {
        return {};
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale language = icu::Locale::forLanguageTag(tag.toStdString(), status);
    if (U_FAILURE(status) || language.isBogus()) {
        return {};
    }
    icu::UnicodeString name;
    names->localeDisplayName(language, name);
    return fromIcu(name);
}

} // namespace

QString displayName(const QString &tag, const QLocale &locale)
{
    const QString trimmed = tag.trimmed();
    if (trimmed.isEmpty()) {
        return tag;
    }
    // ICU drops private-use subtags from names, which would give two languages one name.
    static const std::pair<const char *, const char *> variants[] = {{"-x-vert", "vertical"},
                                                                     {"-x-old", "historical"}};
    for (const auto &[suffix, word] : variants) {
        if (trimmed.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            const QString base = icuName(trimmed.chopped(int(qstrlen(suffix))), locale);
            if (base.isEmpty()) {
                return tag;
            }
            return base.endsWith(u')') ? base.chopped(1) + QStringLiteral(", %1)").arg(word)
                                       : base + QStringLiteral(" (%1)").arg(word);
        }
    }
    const QString name = icuName(trimmed, locale);
    return name.isEmpty() ? tag : name;
}

QString scriptName(const QString &code, const QLocale &locale)
{
    const std::unique_ptr<icu::LocaleDisplayNames> names = namesIn(locale);
    if (!names || code.isEmpty()) {
        return code;
    }
    icu::UnicodeString name;
    names->scriptDisplayName(code.toStdString().c_str(), name);
    const QString result = fromIcu(name);
    return result.isEmpty() ? code : result;
}

} // namespace LanguageNames
