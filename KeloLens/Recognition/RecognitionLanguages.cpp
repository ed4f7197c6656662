// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/RecognitionLanguages.h"

#include "KeloLens/Recognition/RecognitionLog.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>

#include <array>

namespace {

struct LanguageEntry
{
    const char *tag;
    const char *dataName;
};

// Every language data set Debian ships as tesseract-ocr-*, English first so that it leads the
// list the settings offer. Vertical-text and historical variants carry a private-use subtag;
// script data (the engine's "script/..." models) have an undetermined language.
constexpr std::array knownLanguages = {
    LanguageEntry{"en", "eng"},
    LanguageEntry{"af", "afr"},
    LanguageEntry{"am", "amh"},
    LanguageEntry{"ar", "ara"},
    LanguageEntry{"as", "asm"},
    LanguageEntry{"az", "aze"},
    LanguageEntry{"az-Cyrl", "aze_cyrl"},
    LanguageEntry{"be", "bel"},
    LanguageEntry{"bn", "ben"},
    LanguageEntry{"bo", "bod"},
    LanguageEntry{"bs", "bos"},
    LanguageEntry{"br", "bre"},
    LanguageEntry{"bg", "bul"},
    LanguageEntry{"ca", "cat"},
    LanguageEntry{"ceb", "ceb"},
    LanguageEntry{"cs", "ces"},
    LanguageEntry{"zh-Hans", "chi_sim"},
    LanguageEntry{"zh-Hans-x-vert", "chi_sim_vert"},
    LanguageEntry{"zh-Hant", "chi_tra"},
    LanguageEntry{"zh-Hant-x-vert", "chi_tra_vert"},
    LanguageEntry{"chr", "chr"},
    LanguageEntry{"co", "cos"},
    LanguageEntry{"cy", "cym"},
    LanguageEntry{"da", "dan"},
    LanguageEntry{"de", "deu"},
    LanguageEntry{"de-Latf", "frk"},
    LanguageEntry{"dv", "div"},
    LanguageEntry{"dz", "dzo"},
    LanguageEntry{"el", "ell"},
    LanguageEntry{"enm", "enm"},
    LanguageEntry{"eo", "epo"},
    LanguageEntry{"et", "est"},
    LanguageEntry{"eu", "eus"},
    LanguageEntry{"fo", "fao"},
    LanguageEntry{"fa", "fas"},
    LanguageEntry{"fil", "fil"},
    LanguageEntry{"fi", "fin"},
    LanguageEntry{"fr", "fra"},
    LanguageEntry{"frm", "frm"},
    LanguageEntry{"fy", "fry"},
    LanguageEntry{"gd", "gla"},
    LanguageEntry{"ga", "gle"},
    LanguageEntry{"gl", "glg"},
    LanguageEntry{"grc", "grc"},
    LanguageEntry{"gu", "guj"},
    LanguageEntry{"ht", "hat"},
    LanguageEntry{"he", "heb"},
    LanguageEntry{"hi", "hin"},
    LanguageEntry{"hr", "hrv"},
    LanguageEntry{"hu", "hun"},
    LanguageEntry{"hy", "hye"},
    LanguageEntry{"iu", "iku"},
    LanguageEntry{"id", "ind"},
    LanguageEntry{"is", "isl"},
    LanguageEntry{"it", "ita"},
    LanguageEntry{"it-x-old", "ita_old"},
    LanguageEntry{"jv", "jav"},
    LanguageEntry{"ja", "jpn"},
    LanguageEntry{"ja-x-vert", "jpn_vert"},
    LanguageEntry{"kn", "kan"},
    LanguageEntry{"ka", "kat"},
    LanguageEntry{"ka-x-old", "kat_old"},
    LanguageEntry{"kk", "kaz"},
    LanguageEntry{"km", "khm"},
    LanguageEntry{"ky", "kir"},
    LanguageEntry{"kmr", "kmr"},
    LanguageEntry{"ko", "kor"},
    LanguageEntry{"ko-x-vert", "kor_vert"},
    LanguageEntry{"lo", "lao"},
    LanguageEntry{"la", "lat"},
    LanguageEntry{"lv", "lav"},
    LanguageEntry{"lt", "lit"},
    LanguageEntry{"lb", "ltz"},
    LanguageEntry{"ml", "mal"},
    LanguageEntry{"mr", "mar"},
    LanguageEntry{"mk", "mkd"},
    LanguageEntry{"mt", "mlt"},
    LanguageEntry{"mn", "mon"},
    LanguageEntry{"mi", "mri"},
    LanguageEntry{"ms", "msa"},
    LanguageEntry{"my", "mya"},
    LanguageEntry{"ne", "nep"},
    LanguageEntry{"nl", "nld"},
    LanguageEntry{"no", "nor"},
    LanguageEntry{"oc", "oci"},
    LanguageEntry{"or", "ori"},
    LanguageEntry{"pa", "pan"},
    LanguageEntry{"pl", "pol"},
    LanguageEntry{"pt", "por"},
    LanguageEntry{"ps", "pus"},
    LanguageEntry{"qu", "que"},
    LanguageEntry{"ro", "ron"},
    LanguageEntry{"ru", "rus"},
    LanguageEntry{"sa", "san"},
    LanguageEntry{"si", "sin"},
    LanguageEntry{"sk", "slk"},
    LanguageEntry{"sl", "slv"},
    LanguageEntry{"sd", "snd"},
    LanguageEntry{"es", "spa"},
    LanguageEntry{"es-x-old", "spa_old"},
    LanguageEntry{"sq", "sqi"},
    LanguageEntry{"sr", "srp"},
    LanguageEntry{"sr-Latn", "srp_latn"},
    LanguageEntry{"su", "sun"},
    LanguageEntry{"sw", "swa"},
    LanguageEntry{"sv", "swe"},
    LanguageEntry{"syr", "syr"},
    LanguageEntry{"ta", "tam"},
    LanguageEntry{"tt", "tat"},
    LanguageEntry{"te", "tel"},
    LanguageEntry{"tg", "tgk"},
    LanguageEntry{"th", "tha"},
    LanguageEntry{"ti", "tir"},
    LanguageEntry{"to", "ton"},
    LanguageEntry{"tr", "tur"},
    LanguageEntry{"ug", "uig"},
    LanguageEntry{"uk", "ukr"},
    LanguageEntry{"ur", "urd"},
    LanguageEntry{"uz", "uzb"},
    LanguageEntry{"uz-Cyrl", "uzb_cyrl"},
    LanguageEntry{"vi", "vie"},
    LanguageEntry{"yi", "yid"},
    LanguageEntry{"yo", "yor"},
    LanguageEntry{"und-Arab", "script/Arabic"},
    LanguageEntry{"und-Armn", "script/Armenian"},
    LanguageEntry{"und-Beng", "script/Bengali"},
    LanguageEntry{"und-Cans", "script/Canadian_Aboriginal"},
    LanguageEntry{"und-Cher", "script/Cherokee"},
    LanguageEntry{"und-Cyrl", "script/Cyrillic"},
    LanguageEntry{"und-Deva", "script/Devanagari"},
    LanguageEntry{"und-Ethi", "script/Ethiopic"},
    LanguageEntry{"und-Latf", "script/Fraktur"},
    LanguageEntry{"und-Geor", "script/Georgian"},
    LanguageEntry{"und-Grek", "script/Greek"},
    LanguageEntry{"und-Gujr", "script/Gujarati"},
    LanguageEntry{"und-Guru", "script/Gurmukhi"},
    LanguageEntry{"und-Hang", "script/Hangul"},
    LanguageEntry{"und-Hang-x-vert", "script/Hangul_vert"},
    LanguageEntry{"und-Hans", "script/HanS"},
    LanguageEntry{"und-Hans-x-vert", "script/HanS_vert"},
    LanguageEntry{"und-Hant", "script/HanT"},
    LanguageEntry{"und-Hant-x-vert", "script/HanT_vert"},
    LanguageEntry{"und-Hebr", "script/Hebrew"},
    LanguageEntry{"und-Jpan", "script/Japanese"},
    LanguageEntry{"und-Jpan-x-vert", "script/Japanese_vert"},
    LanguageEntry{"und-Khmr", "script/Khmer"},
    LanguageEntry{"und-Knda", "script/Kannada"},
    LanguageEntry{"und-Laoo", "script/Lao"},
    LanguageEntry{"und-Latn", "script/Latin"},
    LanguageEntry{"und-Mlym", "script/Malayalam"},
    LanguageEntry{"und-Mymr", "script/Myanmar"},
    LanguageEntry{"und-Orya", "script/Oriya"},
    LanguageEntry{"und-Sinh", "script/Sinhala"},
    LanguageEntry{"und-Syrc", "script/Syriac"},
    LanguageEntry{"und-Taml", "script/Tamil"},
    LanguageEntry{"und-Telu", "script/Telugu"},
    LanguageEntry{"und-Thaa", "script/Thaana"},
    LanguageEntry{"und-Thai", "script/Thai"},
    LanguageEntry{"und-Tibt", "script/Tibetan"},
    LanguageEntry{"und-Latn-x-vi", "script/Vietnamese"},
};

// How many installed languages automatic mode loads when none matches the user: each one adds
// start-up time and memory to every capture.
constexpr int maxFallbackLanguages = 3;

struct ParsedTag
{
    QString language; // lower case; empty for "und" or a malformed tag
    QString script;   // title case, as written
    QString region;   // upper case
    bool hasPrivateUse = false;
};

// Accepts BCP 47 tags and POSIX locale names ("zh_TW.UTF-8", "sr_RS@latin").
ParsedTag parseTag(QString tag)
{
    ParsedTag parsed;
    tag = tag.trimmed();
    if (const qsizetype cut = tag.indexOf(QRegularExpression(QStringLiteral("[.@]"))); cut >= 0) {
        if (tag.mid(cut).startsWith(QLatin1String("@latin"), Qt::CaseInsensitive)) {
            parsed.script = QStringLiteral("Latn");
        }
        tag.truncate(cut);
    }
    const QStringList parts = tag.split(QRegularExpression(QStringLiteral("[-_]")));
    if (parts.isEmpty()) {
        return parsed;
    }
    static const QRegularExpression languageForm(QStringLiteral("^[A-Za-z]{2,3}$"));
    if (!languageForm.match(parts.first()).hasMatch()) {
        return parsed;
    }
    const QString language = parts.first().toLower();
    if (language != QLatin1String("und")) {
        parsed.language = language;
    }
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part.compare(QLatin1String("x"), Qt::CaseInsensitive) == 0) {
            parsed.hasPrivateUse = true;
            break;
        }
        const bool isAlpha = std::all_of(part.begin(), part.end(),
                                         [](QChar c) { return c.isLetter() && c.unicode() < 128; });
        if (part.size() == 4 && isAlpha && parsed.script.isEmpty() && parsed.region.isEmpty()) {
            parsed.script = part.left(1).toUpper() + part.mid(1).toLower();
        } else if ((part.size() == 2 && isAlpha) || (part.size() == 3 && part.toInt() > 0)) {
            parsed.region = part.toUpper();
        }
    }
    return parsed;
}

// The script written in the tag, else the one the language (in that region) is usually written
// in, so that "zh-TW" means Traditional Chinese and "sr" Cyrillic. Empty when unknown.
QString effectiveScript(const ParsedTag &tag)
{
    if (!tag.script.isEmpty() || tag.language.isEmpty()) {
        return tag.script;
    }
    const QLocale::Language language = QLocale::codeToLanguage(tag.language);
    if (language == QLocale::AnyLanguage || language == QLocale::C) {
        return {};
    }
    const QLocale::Territory territory =
        tag.region.isEmpty() ? QLocale::AnyTerritory : QLocale::codeToTerritory(tag.region);
    const QLocale locale(language, territory);
    if (locale.language() != language || locale.script() == QLocale::AnyScript) {
        return {};
    }
    return QLocale::scriptToCode(locale.script());
}

bool scriptsAgree(const QString &a, const QString &b)
{
    return a.isEmpty() || b.isEmpty() || a == b;
}

bool isDataNameForm(const QString &name)
{
    static const QRegularExpression form(QStringLiteral("^(script/)?[A-Za-z][A-Za-z0-9_]*$"));
    return form.match(name).hasMatch();
}

} // namespace

namespace RecognitionLanguages {

QString dataDirectory()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty()) {
        return QDir::cleanPath(prefix);
    }
    static const QStringList candidates = {
        QStringLiteral("/usr/share/tesseract-ocr/5/tessdata"),
        QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata"),
        QStringLiteral("/usr/share/tessdata"),
        QStringLiteral("/usr/local/share/tessdata"),
    };
    for (const QString &candidate : candidates) {
        if (QDir(candidate).exists()) {
            return candidate;
        }
    }
    return candidates.first();
}

std::optional<QString> dataNameForTag(const QString &tag)
{
    for (const LanguageEntry &entry : knownLanguages) {
        if (tag.compare(QLatin1String(entry.tag), Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(entry.dataName);
        }
    }
    const ParsedTag wanted = parseTag(tag);
    const QString wantedScript = effectiveScript(wanted);
    if (!wanted.language.isEmpty() || !wantedScript.isEmpty()) {
        for (const LanguageEntry &entry : knownLanguages) {
            const ParsedTag candidate = parseTag(QLatin1String(entry.tag));
            if (candidate.hasPrivateUse || candidate.language != wanted.language) {
                continue;
            }
            const QString candidateScript = effectiveScript(candidate);
            if (wanted.language.isEmpty() ? candidateScript == wantedScript
                                          : scriptsAgree(candidateScript, wantedScript)) {
                return QString::fromLatin1(entry.dataName);
            }
        }
    }
    if (isDataNameForm(tag) && tag.size() > 2) {
        return tag;
    }
    return std::nullopt;
}

QString scriptOf(const QString &tag)
{
    return effectiveScript(parseTag(tag));
}

std::optional<QString> tagForDataName(const QString &dataName)
{
    for (const LanguageEntry &entry : knownLanguages) {
        if (dataName == QLatin1String(entry.dataName)) {
            return QString::fromLatin1(entry.tag);
        }
    }
    return std::nullopt;
}

QStringList allTags()
{
    QStringList tags;
    for (const LanguageEntry &entry : knownLanguages) {
        tags.append(QString::fromLatin1(entry.tag));
    }
    return tags;
}

QStringList installedDataNames(const QString &directory)
{
    const QStringList filter = {QStringLiteral("*.traineddata")};
    const QString suffix = QStringLiteral(".traineddata");
    QStringList names;
    for (const QString &file : QDir(directory).entryList(filter, QDir::Files | QDir::Readable)) {
        names.append(file.chopped(suffix.size()));
    }
    const QDir scripts(directory + QStringLiteral("/script"));
    for (const QString &file : scripts.entryList(filter, QDir::Files | QDir::Readable)) {
        names.append(QStringLiteral("script/") + file.chopped(suffix.size()));
    }
    return names;
}

QStringList installedLanguages(const QString &directory)
{
    const QStringList installed = installedDataNames(directory);
    QStringList tags;
    for (const LanguageEntry &entry : knownLanguages) {
        if (installed.contains(QLatin1String(entry.dataName))) {
            tags.append(QString::fromLatin1(entry.tag));
        }
    }
    return tags;
}

QStringList supportedLanguages()
{
    const QString directory = dataDirectory();
    QString problem;
    QStringList languages;
    if (!QDir(directory).exists()) {
        problem = QStringLiteral("no language data folder at %1").arg(directory);
    } else {
        languages = installedLanguages(directory);
        if (languages.isEmpty()) {
            problem = QStringLiteral("no language data in %1").arg(directory);
        }
    }
    if (!problem.isEmpty()) {
        qCWarning(lcRecognition).noquote()
            << "KeloLens: could not load Tesseract languages:" << problem;
        return {QStringLiteral("en-US")};
    }
    return languages;
}

QStringList dataNamesFor(const QStringList &tags, const QStringList &installed,
                         const QStringList &uiLanguages)
{
    QStringList names;
    const auto addIfInstalled = [&](const QString &tag) {
        const std::optional<QString> name = dataNameForTag(tag);
        if (name && installed.contains(*name) && !names.contains(*name)) {
            names.append(*name);
        }
    };
    for (const QString &tag : tags.isEmpty() ? uiLanguages : tags) {
        addIfInstalled(tag);
    }
    // Automatic reads English too; a list of languages none of which is installed reads English
    // rather than nothing (the capture says what was missing).
    if (tags.isEmpty() || names.isEmpty()) {
        addIfInstalled(QStringLiteral("en"));
    }
    if (!names.isEmpty()) {
        return names;
    }
    for (const LanguageEntry &entry : knownLanguages) {
        if (names.size() == maxFallbackLanguages) {
            break;
        }
        if (installed.contains(QLatin1String(entry.dataName))) {
            names.append(QString::fromLatin1(entry.dataName));
        }
    }
    if (names.isEmpty()) {
        for (const QString &name : installed) {
            if (name != QLatin1String("osd") && name != QLatin1String("equ")) {
                names.append(name);
                break;
            }
        }
    }
    return names;
}

std::optional<QString> latinScriptModel(const QStringList &installed)
{
    for (const QString &candidate : {QStringLiteral("Latin"), QStringLiteral("script/Latin")}) {
        if (installed.contains(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

QStringList withScriptModels(const QStringList &dataNames, const QStringList &installed)
{
    const std::optional<QString> latinModel = latinScriptModel(installed);
    if (!latinModel) {
        return dataNames;
    }
    const QString &latin = *latinModel;
    QStringList models;
    for (const QString &name : dataNames) {
        const std::optional<QString> tag = tagForDataName(name);
        const bool isLatin =
            tag && !parseTag(*tag).hasPrivateUse && effectiveScript(parseTag(*tag)) == u"Latn";
        const QString model = isLatin ? latin : name;
        if (!models.contains(model)) {
            models.append(model);
        }
    }
    return models;
}

} // namespace RecognitionLanguages

QString bestLanguageMatch(const QString &language, const QStringList &supported)
{
    const QString fallback = QStringLiteral("en-US");
    const ParsedTag wanted = parseTag(language);
    if (wanted.language.isEmpty()) {
        return fallback;
    }
    QStringList collected;
    for (const QString &identifier : supported) {
        if (parseTag(identifier).language == wanted.language) {
            collected.append(identifier);
        }
    }
    if (collected.isEmpty()) {
        return fallback;
    }
    const QString wantedScript = effectiveScript(wanted);
    for (const QString &identifier : collected) {
        if (scriptsAgree(effectiveScript(parseTag(identifier)), wantedScript)) {
            return identifier;
        }
    }
    return collected.first();
}
