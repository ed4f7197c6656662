// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/RecognitionPage.h"

#include "KeloLens/SettingsWindow/LanguageNames.h"
#include "KeloLens/SettingsWindow/ToggleSwitch.h"
#include "SettingsFixture.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>

namespace {

const QStringList supported = {QStringLiteral("de-DE"), QStringLiteral("en-GB"),
                               QStringLiteral("en-US"), QStringLiteral("fr-FR")};

class RecognitionPageTest : public SettingsFixture
{
protected:
    // Shows the page and waits until its supported languages are in.
    void showAndLoad(RecognitionPage &page)
    {
        page.show();
        ASSERT_TRUE(KeloTest::waitUntil([&] { return !page.isLoading(); }));
        QCoreApplication::processEvents();
    }

    void chooseMode(RecognitionPage &page, bool isUsingList)
    {
        const int index = isUsingList ? 1 : 0;
        page.modePicker()->setCurrentIndex(index);
        Q_EMIT page.modePicker()->activated(index);
    }

    QStringList offered(const RecognitionPage &page)
    {
        QStringList result;
        for (int i = 0; i < page.addPicker()->count(); ++i) {
            result << page.addPicker()->itemData(i).toString();
        }
        return result;
    }
};

} // namespace

TEST_F(RecognitionPageTest, ShowsTheStoredListOrAutomatic)
{
    {
        RecognitionPage page(services(supported));
        showAndLoad(page);
        EXPECT_FALSE(page.isUsingList());
        EXPECT_EQ(page.modePicker()->currentText(), "Automatic");
        EXPECT_TRUE(page.removeButtons().isEmpty());
        EXPECT_TRUE(prefs.recognitionLanguages().isEmpty());
    }
    prefs.setRecognitionLanguages({QStringLiteral("fr-FR"), QStringLiteral("de-DE")});
    RecognitionPage page(services(supported));
    showAndLoad(page);
    EXPECT_TRUE(page.isUsingList());
    EXPECT_EQ(page.modePicker()->currentText(), "Preferred list");
    EXPECT_EQ(page.removeButtons().size(), 2);
}

TEST_F(RecognitionPageTest, PreferredListStartsWithTheUsersLanguage)
{
    RecognitionPage page(services(supported));
    // Before the supported languages are known, the list starts with en-US.
    chooseMode(page, true);
    EXPECT_EQ(prefs.recognitionLanguages(), QStringList{"en-US"});
    chooseMode(page, false);
    EXPECT_TRUE(prefs.recognitionLanguages().isEmpty());

    showAndLoad(page);
    chooseMode(page, true);
    // The first supported English for an English (United States) user.
    EXPECT_EQ(prefs.recognitionLanguages(), QStringList{"en-GB"});

    SettingsServices german = services(supported);
    german.locale = QLocale(QLocale::German, QLocale::Germany);
    prefs.setRecognitionLanguages({});
    RecognitionPage germanPage(german);
    showAndLoad(germanPage);
    chooseMode(germanPage, true);
    EXPECT_EQ(prefs.recognitionLanguages(), QStringList{"de-DE"});
}

TEST_F(RecognitionPageTest, TheLastLanguageCannotBeRemoved)
{
    prefs.setRecognitionLanguages({QStringLiteral("en-US"), QStringLiteral("fr-FR")});
    RecognitionPage page(services(supported));
    showAndLoad(page);
    ASSERT_EQ(page.removeButtons().size(), 2);
    EXPECT_TRUE(page.removeButtons()[0]->isEnabled());
    page.removeButtons()[0]->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(prefs.recognitionLanguages(), QStringList{"fr-FR"});
    ASSERT_EQ(page.removeButtons().size(), 1);
    EXPECT_FALSE(page.removeButtons()[0]->isEnabled());
}

TEST_F(RecognitionPageTest, AddsOnlyLanguagesNotYetListed)
{
    prefs.setRecognitionLanguages({QStringLiteral("en-US")});
    RecognitionPage page(services(supported));
    page.show();
    // Nothing to offer until the supported languages are loaded.
    EXPECT_FALSE(page.addButton()->isEnabled());
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !page.isLoading(); }));
    QCoreApplication::processEvents();

    EXPECT_EQ(offered(page), (QStringList{"", "de-DE", "en-GB", "fr-FR"}));
    EXPECT_TRUE(page.addPicker()->isEnabled());
    EXPECT_FALSE(page.addButton()->isEnabled());

    page.addPicker()->setCurrentIndex(offered(page).indexOf("fr-FR"));
    EXPECT_TRUE(page.addButton()->isEnabled());
    page.addButton()->click();
    EXPECT_EQ(prefs.recognitionLanguages(), (QStringList{"en-US", "fr-FR"}));
    EXPECT_EQ(offered(page), (QStringList{"", "de-DE", "en-GB"}));
    EXPECT_EQ(page.addPicker()->currentIndex(), 0);
    EXPECT_FALSE(page.addButton()->isEnabled());
}

TEST_F(RecognitionPageTest, TextAndCodeControlsWriteTheirSettings)
{
    RecognitionPage page(services(supported));
    page.lineBreaksPicker()->setCurrentIndex(1);
    Q_EMIT page.lineBreaksPicker()->activated(1);
    EXPECT_EQ(prefs.lineBreaks(), LineBreakMode::joinParagraphs);
    page.stripHyphenationSwitch()->click();
    EXPECT_FALSE(prefs.stripHyphenation());
    page.detectBarcodesSwitch()->click();
    EXPECT_FALSE(prefs.detectBarcodes());
    prefs.setDetectBarcodes(true);
    EXPECT_TRUE(page.detectBarcodesSwitch()->isChecked());
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
}
