// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/RecognitionLanguages.h"

#include "KeloLens/Recognition/LanguageNames.h"
#include "KeloLens/Recognition/LanguagePacks.h"
#include "KeloLens/Recognition/WordList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace RecognitionLanguages;

namespace {

void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(RecognitionLanguages, EveryTagNamesOneDataFileAndBack)
{
    QStringList names;
    for (const QString &tag : allTags()) {
        const std::optional<QString> name = dataNameForTag(tag);
        ASSERT_TRUE(name.has_value()) << tag.toStdString();
        EXPECT_EQ(tagForDataName(*name), tag) << name->toStdString();
        EXPECT_FALSE(names.contains(*name)) << "data used twice: " << name->toStdString();
        names.append(*name);
    }
    EXPECT_GT(names.size(), 150);
    EXPECT_FALSE(tagForDataName(QStringLiteral("osd")));
    EXPECT_FALSE(tagForDataName(QStringLiteral("equ")));
}

TEST(RecognitionLanguages, TagsFindTheirDataByLanguageAndScript)
{
    const QList<std::pair<QString, QString>> cases = {
        {"EN_gb", "eng"},
        {"de-DE.UTF-8", "deu"},
        {"de-Latf", "frk"},
        {"zh-Hant-HK", "chi_tra"},
        {"zh-TW", "chi_tra"},
        {"zh", "chi_sim"},
        {"sr_RS@latin", "srp_latn"},
        {"ja-x-vert", "jpn_vert"},
        {"und-Hant", "script/HanT"},
        {"chi_sim", "chi_sim"},
    };
    for (const auto &[tag, name] : cases) {
        EXPECT_EQ(dataNameForTag(tag), name) << tag.toStdString();
    }
    for (const char *bad : {"", "x", "../../etc/passwd", "en US", "-"}) {
        EXPECT_FALSE(dataNameForTag(QString::fromLatin1(bad))) << bad;
    }
}

TEST(RecognitionLanguages, InstalledLanguagesAreTagsInTableOrderWithoutOrientationData)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("script")));
    for (const QString file : {"osd", "equ", "deu", "chi_tra", "eng", "custom", "script/Latin"}) {
        touch(dir.filePath(file + QStringLiteral(".traineddata")));
    }
    touch(dir.filePath(QStringLiteral("fra.txt")));

    EXPECT_EQ(installedLanguages(dir.path()), (QStringList{"en", "zh-Hant", "de", "und-Latn"}));
    const QStringList names = installedDataNames(dir.path());
    EXPECT_TRUE(names.contains(QStringLiteral("script/Latin")));
    EXPECT_TRUE(names.contains(QStringLiteral("custom")));
    EXPECT_FALSE(names.contains(QStringLiteral("fra")));
}

TEST(RecognitionLanguages, SupportedLanguagesFallBackToUsEnglishWithoutData)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray saved = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", dir.path().toLocal8Bit());
    EXPECT_EQ(dataDirectory(), dir.path());
    EXPECT_EQ(supportedLanguages(), QStringList{QStringLiteral("en-US")});
    touch(dir.filePath(QStringLiteral("ukr.traineddata")));
    touch(dir.filePath(QStringLiteral("osd.traineddata")));
    EXPECT_EQ(supportedLanguages(), QStringList{QStringLiteral("uk")});
    qputenv("TESSDATA_PREFIX", dir.filePath(QStringLiteral("missing")).toLocal8Bit());
    EXPECT_EQ(supportedLanguages(), QStringList{QStringLiteral("en-US")});
    if (saved.isEmpty()) {
        qunsetenv("TESSDATA_PREFIX");
    } else {
        qputenv("TESSDATA_PREFIX", saved);
    }
}

TEST(RecognitionLanguages, RequestedLanguagesKeepTheirOrderAndDropWhatIsNotInstalled)
{
    const QStringList installed = {"eng", "deu", "chi_tra", "osd"};
    EXPECT_EQ(dataNamesFor({"de", "fr", "en-GB", "de-AT"}, installed, {"zh-TW"}),
              (QStringList{"deu", "eng"}));
    // None of them installed: English rather than nothing.
    EXPECT_EQ(dataNamesFor({"fr"}, installed, {"de"}), QStringList{"eng"});
    EXPECT_EQ(dataNamesFor({"fr"}, {"osd", "deu"}, {"en"}), QStringList{"deu"});
}

TEST(LanguagePacks, EveryLanguageHasItsDebianPackageTheInstalledOnesFirst)
{
    EXPECT_EQ(LanguagePacks::packageFor(QStringLiteral("zh-Hans")), "tesseract-ocr-chi-sim");
    EXPECT_EQ(LanguagePacks::packageFor(QStringLiteral("sr-Latn")), "tesseract-ocr-srp-latn");
    EXPECT_EQ(LanguagePacks::packageFor(QStringLiteral("fr-CA")), "tesseract-ocr-fra");
    EXPECT_FALSE(LanguagePacks::packageFor(QStringLiteral("und-Latn")));
    EXPECT_FALSE(LanguagePacks::packageFor(QStringLiteral("xx")));

    const QList<LanguagePacks::LanguagePack> packs = LanguagePacks::all({"fr-FR", "en"});
    EXPECT_EQ(packs.size(), 123);
    ASSERT_GE(packs.size(), 3);
    EXPECT_EQ(packs[0], (LanguagePacks::LanguagePack{"en", "tesseract-ocr-eng", true}));
    EXPECT_EQ(packs[1].tag, "fr");
    EXPECT_TRUE(packs[1].isInstalled);
    EXPECT_FALSE(packs[2].isInstalled);

    // One model under two names is one language.
    EXPECT_TRUE(LanguagePacks::readsLikeAnyOf(QStringLiteral("en-US"), {"de", "en"}));
    EXPECT_FALSE(LanguagePacks::readsLikeAnyOf(QStringLiteral("de"), {"en-US"}));
    EXPECT_EQ(LanguagePacks::missing({"fr", "en-GB", "xx"}, {"eng"}), (QStringList{"fr", "xx"}));
    // Text in a script nothing installed reads: which pack to suggest.
    EXPECT_EQ(LanguagePacks::suggestedFor(QStringLiteral("Cyrl")), "ru");
    EXPECT_EQ(LanguagePacks::suggestedFor(QStringLiteral("Grek")), "el");
    EXPECT_EQ(LanguagePacks::suggestedFor(QStringLiteral("Jpan")), "ja");
    EXPECT_FALSE(LanguagePacks::suggestedFor(QStringLiteral("Zzzz")));
    EXPECT_EQ(scriptOf(QStringLiteral("zh-TW")), "Hant");
    EXPECT_EQ(LanguagePacks::installCommand({"tesseract-ocr-rus"}),
              "sudo apt install tesseract-ocr-rus");
}

TEST(RecognitionLanguages, TheLatinScriptModelReadsEveryLatinScriptLanguage)
{
    const QStringList languages = {"chi_tra", "deu", "srp", "eng", "custom"};
    EXPECT_EQ(withScriptModels(languages, {"eng", "deu", "Latin"}),
              (QStringList{"chi_tra", "Latin", "srp", "custom"}));
    EXPECT_EQ(withScriptModels(languages, {"eng", "script/Latin"}),
              (QStringList{"chi_tra", "script/Latin", "srp", "custom"}));
    EXPECT_EQ(withScriptModels(languages, {"eng", "deu"}), languages);
}

TEST(RecognitionLanguages, AutomaticModeUsesTheUsersInstalledLanguagesPlusEnglish)
{
    const QStringList installed = {"eng", "deu", "chi_tra", "spa", "fra", "osd"};
    EXPECT_EQ(dataNamesFor({}, installed, {"zh-TW", "de-DE", "it"}),
              (QStringList{"chi_tra", "deu", "eng"}));
    EXPECT_EQ(dataNamesFor({}, installed, {"en-US", "en"}), QStringList{"eng"});
    // Nothing the user speaks and no English: a few of whatever is there, not every language.
    EXPECT_EQ(dataNamesFor({}, {"osd", "spa", "fra", "deu", "chi_tra"}, {"it"}),
              (QStringList{"chi_tra", "deu", "fra"}));
    EXPECT_EQ(dataNamesFor({}, {"osd", "custom"}, {"it"}), QStringList{"custom"});
    EXPECT_EQ(dataNamesFor({}, {"osd"}, {"it"}), QStringList());
}

TEST(RecognitionLanguages, BestLanguageMatchPrefersTheUsersScript)
{
    const QStringList supported = {"en",      "zh-Hans", "zh-Hans-x-vert", "zh-Hant", "sr",
                                   "sr-Latn", "de",      "und-Latn"};
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("en-GB"), supported), QStringLiteral("en"));
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("zh-Hans-CN"), supported),
              QStringLiteral("zh-Hans"));
    // Linux locales name a region, not a script: Taiwan writes Traditional Chinese.
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("zh_TW.UTF-8"), supported),
              QStringLiteral("zh-Hant"));
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("sr-Latn-RS"), supported),
              QStringLiteral("sr-Latn"));
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("de_AT"), supported), QStringLiteral("de"));
    // Same language in no matching script: the first with the language.
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("zh-Hant"), {"en", "zh-Hans"}),
              QStringLiteral("zh-Hans"));
    // No such language, or no language at all.
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("fr-FR"), supported), QStringLiteral("en-US"));
    EXPECT_EQ(bestLanguageMatch(QString(), supported), QStringLiteral("en-US"));
    EXPECT_EQ(bestLanguageMatch(QStringLiteral("en"), {}), QStringLiteral("en-US"));
}

TEST(LanguageNames, NamesTagsInTheLocalesLanguage)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(LanguageNames::displayName(QStringLiteral("en-US"), english),
              "English (United States)");
    EXPECT_EQ(LanguageNames::displayName(QStringLiteral("de"), QLocale(QLocale::German)),
              "Deutsch");
    EXPECT_TRUE(
        LanguageNames::displayName(QStringLiteral("zh-Hans"), english).startsWith("Chinese"));
    // No name: the tag itself.
    EXPECT_EQ(LanguageNames::displayName(QStringLiteral("qaa"), english), "qaa");
    EXPECT_EQ(LanguageNames::displayName(QStringLiteral("not a tag!"), english), "not a tag!");
    // Variants of one language keep names of their own.
    EXPECT_EQ(LanguageNames::displayName(QStringLiteral("ja-x-vert"), english),
              "Japanese (vertical)");
    EXPECT_EQ(LanguageNames::displayName(QStringLiteral("it-x-old"), english),
              "Italian (historical)");
    EXPECT_EQ(LanguageNames::scriptName(QStringLiteral("Cyrl"), english), "Cyrillic");
    EXPECT_EQ(LanguageNames::scriptName(QStringLiteral("Grek"), QLocale(QLocale::German)),
              "Griechisch");
}

TEST(WordList, LanguagesFindTheirDictionaryAndItsWords)
{
    const QStringList installed = {"de_AT", "de_DE", "en_GB", "en_US", "pt_BR", "pt_PT", "eo"};
    const QList<std::pair<QString, QString>> cases = {
        {"en", "en_US"}, {"en-GB", "en_GB"}, {"en_AU.UTF-8", "en_US"}, {"de-CH", "de_DE"},
        {"de", "de_DE"}, {"pt", "pt_BR"},    {"pt-PT", "pt_PT"},       {"eo", "eo"},
    };
    for (const auto &[tag, name] : cases) {
        EXPECT_EQ(WordList::dictionaryFor(tag, installed), name) << tag.toStdString();
    }
    EXPECT_FALSE(WordList::dictionaryFor(QStringLiteral("fr"), installed));
    EXPECT_FALSE(WordList::dictionaryFor(QString(), installed));

    // Debian's own English dictionary; a folder without it loads nothing.
    const std::unique_ptr<WordList> english =
        WordList::load(WordList::dictionaryDirectory(), QStringLiteral("en_US"));
    ASSERT_TRUE(english) << "hunspell-en-us is not installed";
    EXPECT_TRUE(english->contains(QStringLiteral("recognition")));
    EXPECT_TRUE(english->contains(QStringLiteral("Contained")));
    EXPECT_FALSE(english->contains(QStringLiteral("selfcontained")));
    EXPECT_FALSE(english->contains(QString()));
    QTemporaryDir empty;
    EXPECT_FALSE(WordList::load(empty.path(), QStringLiteral("en_US")));
    EXPECT_TRUE(WordList::installedDictionaries(empty.path()).isEmpty());
}
