// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/RecognitionPage.h"

#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Settings/LanguagePackInstaller.h"
#include "KeloLens/SettingsWindow/LanguagePackRows.h"
#include "KeloLens/SettingsWindow/ToggleSwitch.h"
#include "SettingsFixture.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
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

    // Services whose installed languages are the packs in a data folder of the test's own, with
    // a package service that installs into it.
    SettingsServices servicesWithPacks(LanguagePackInstaller &packs)
    {
        SettingsServices result = services();
        result.loadSupportedLanguages = [folder = data.path()] {
            return RecognitionLanguages::installedLanguages(folder);
        };
        result.languagePacks = &packs;
        result.copyText = [this](const QString &text) {
            copied << text;
            return true;
        };
        return result;
    }

    void addPack(const QString &dataName)
    {
        QFile file(data.filePath(dataName + QStringLiteral(".traineddata")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir data;
    KeloTest::FakePackageInstaller packageService;
    QStringList copied;
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

TEST_F(RecognitionPageTest, AddsOnlyLanguagesNotYetListedUnderAnyName)
{
    prefs.setRecognitionLanguages({QStringLiteral("en-US")});
    RecognitionPage page(services(supported));
    page.show();
    // Nothing to offer until the supported languages are loaded.
    EXPECT_FALSE(page.addButton()->isEnabled());
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !page.isLoading(); }));
    QCoreApplication::processEvents();

    // British English reads with the same model as the listed US English: not offered again.
    // Languages without their pack follow the installed ones.
    QStringList choices = offered(page);
    EXPECT_EQ(choices.mid(0, 3), (QStringList{"", "de-DE", "fr-FR"}));
    EXPECT_FALSE(choices.contains("en-GB"));
    EXPECT_FALSE(choices.contains("en"));
    EXPECT_FALSE(choices.contains("de"));
    EXPECT_TRUE(choices.contains("ru"));
    EXPECT_TRUE(page.addPicker()->isEnabled());
    EXPECT_FALSE(page.addButton()->isEnabled());

    page.addPicker()->setCurrentIndex(choices.indexOf("fr-FR"));
    EXPECT_TRUE(page.addButton()->isEnabled());
    page.addButton()->click();
    EXPECT_EQ(prefs.recognitionLanguages(), (QStringList{"en-US", "fr-FR"}));
    choices = offered(page);
    EXPECT_EQ(choices.mid(0, 2), (QStringList{"", "de-DE"}));
    EXPECT_FALSE(choices.contains("fr"));
    EXPECT_EQ(page.addPicker()->currentIndex(), 0);
    EXPECT_FALSE(page.addButton()->isEnabled());
}

TEST_F(RecognitionPageTest, AListedLanguageWithoutItsPackInstallsAndTheListRefreshes)
{
    addPack(QStringLiteral("eng"));
    packageService.dataDirectory = data.path();
    packageService.steps = {{-1, QStringLiteral("Waiting for permission…")}};
    packageService.delay = std::chrono::milliseconds(100);
    LanguagePackInstaller packs(&packageService, data.path());
    prefs.setRecognitionLanguages({QStringLiteral("en-US"), QStringLiteral("fr")});
    RecognitionPage page(servicesWithPacks(packs));
    showAndLoad(page);

    // French is listed but cannot read yet; English can. Refused (the desktop has no password
    // prompt), the installation leaves the command for a terminal.
    ASSERT_EQ(page.installButtons().size(), 1);
    EXPECT_EQ(page.installButtons()[0]->accessibleName(), "Install fr");
    packageService.result = {KeloPlatform::PackageInstall::Status::cancelled,
                             QStringLiteral("The installation wasn't authorized.")};
    page.installButtons()[0]->click();
    ASSERT_TRUE(KeloTest::waitUntil([&] { return page.packRows()->commandField()->isVisible(); }));
    EXPECT_EQ(page.packRows()->statusLabel()->text(),
              "The installation wasn't authorized. Or install French from a terminal:");
    EXPECT_EQ(page.packRows()->commandField()->text(), "sudo apt install tesseract-ocr-fra");
    packageService.result = {KeloPlatform::PackageInstall::Status::installed, {}};
    packageService.requests.clear();
    page.installButtons()[0]->click();
    EXPECT_EQ(packageService.requests, QList<QStringList>{{"tesseract-ocr-fra"}});
    EXPECT_EQ(page.packRows()->statusLabel()->text(), "Installing French… Waiting for permission…");
    EXPECT_FALSE(page.packRows()->installButton()->isEnabled());

    // The pack arrives in the data folder; the page notices by itself.
    ASSERT_TRUE(KeloTest::waitUntil([&] { return page.installButtons().isEmpty(); }));
    EXPECT_EQ(page.packRows()->statusLabel()->text(), "French is installed.");
    EXPECT_FALSE(page.packRows()->commandField()->isVisible());
    EXPECT_EQ(page.removeButtons().size(), 2);
}

TEST_F(RecognitionPageTest, WithoutAPackageServiceInstallShowsTheCommandToCopy)
{
    addPack(QStringLiteral("eng"));
    LanguagePackInstaller packs(nullptr, data.path());
    RecognitionPage page(servicesWithPacks(packs));
    showAndLoad(page);
    LanguagePackRows &section = *page.packRows();

    // Every language, installed ones first and not to be chosen again.
    QComboBox &picker = *section.picker();
    EXPECT_GT(picker.count(), 120);
    EXPECT_EQ(picker.itemText(1), "English — installed");
    EXPECT_EQ(picker.itemData(1).toString(), QString());
    picker.setCurrentIndex(picker.findData(QStringLiteral("ru")));
    section.installButton()->click();
    EXPECT_TRUE(section.commandField()->isVisible());
    EXPECT_EQ(section.commandField()->text(), "sudo apt install tesseract-ocr-rus");
    section.copyButton()->click();
    EXPECT_EQ(copied, QStringList{"sudo apt install tesseract-ocr-rus"});

    // The user runs it in a terminal: the page sees the pack and drops the command.
    addPack(QStringLiteral("rus"));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !section.commandField()->isVisible(); }));
    EXPECT_EQ(picker.findData(QStringLiteral("ru")), -1);
    EXPECT_TRUE(picker.findText(QStringLiteral("Russian — installed")) > 0);
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
