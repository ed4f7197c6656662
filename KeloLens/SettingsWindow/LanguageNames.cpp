// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/LanguageNames.h"

#include <memory>
#include <unicode/locdspnm.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace LanguageNames {

QString displayName(const QString &tag, const QLocale &locale)
{
    if (tag.trimmed().isEmpty()) {
        return tag;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale displayLocale =
        icu::Locale::forLanguageTag(locale.bcp47Name().toStdString(), status);
    if (U_FAILURE(status)) {
        return tag;
    }
    // Without substitution ICU answers nothing rather than echoing codes it has no name for.
    UDisplayContext contexts[] = {UDISPCTX_CAPITALIZATION_FOR_UI_LIST_OR_MENU,
                                  UDISPCTX_NO_SUBSTITUTE};
    const std::unique_ptr<icu::LocaleDisplayNames> names(
        icu::LocaleDisplayNames::createInstance(displayLocale, contexts, 2));
    if (!names) {
        return tag;
    }
    const icu::Locale language = icu::Locale::forLanguageTag(tag.trimmed().toStdString(), status);
    if (U_FAILURE(status) || language.isBogus()) {
        return tag;
    }
    icu::UnicodeString name;
    names->localeDisplayName(language, name);
    if (name.isBogus() || name.isEmpty()) {
        return tag;
    }
    return QString(reinterpret_cast<const QChar *>(name.getBuffer()), name.length());
}

} // namespace LanguageNames
