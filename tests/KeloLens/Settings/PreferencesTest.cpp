// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Settings/Preferences.h"

#include "support/LogCapture.h"
#include "support/fakes/PlatformFakes.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

namespace {

class PreferencesTest : public ::testing::Test
{
protected:
    // QSettings caches files per process and only re-reads one whose size or time changed, so
    // every file a test writes by hand gets a new name.
    QString settingsPath() const
    {
        return m_dir.filePath(QStringLiteral("KeloLens-%1.conf").arg(m_fileNumber));
    }

    std::unique_ptr<QSettings> openSettings() const
    {
        return std::make_unique<QSettings>(settingsPath(), QSettings::NativeFormat);
    }

    void writeRawFile(const QByteArray &contents)
    {
        ++m_fileNumber;
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\n" + contents);
    }

    QByteArray rawFile() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    int m_fileNumber = 0;
};

} // namespace

TEST_F(PreferencesTest, DefaultsAreNeverWrittenAndEverySetIsReadBackAtTheNextLaunch)
{
    auto settings = openSettings();
    Preferences prefs(settings.get());
    EXPECT_TRUE(prefs.showPanel());
    EXPECT_EQ(prefs.hotKey(), (HotKeyCombo{19, 768}));
    settings->sync();
    EXPECT_TRUE(rawFile().isEmpty());

    const HotKeyCombo combo{0, HotKeyCombo::option | HotKeyCombo::control};
    prefs.setHotKey(combo);
    prefs.setPlaySound(true);
    prefs.setPanelPosition(PanelPosition::fixed);
    // A one-element list is stored as a plain string and must still read back as a list.
    prefs.setRecognitionLanguages({QStringLiteral("de-DE")});
    prefs.setLineBreaks(LineBreakMode::joinParagraphs);
    prefs.setHasCompletedOnboarding(true);
    // No save step: the file holds the value as soon as it is set.
    EXPECT_TRUE(rawFile().contains("hasCompletedOnboarding=true"));

    settings.reset();
    auto reopened = openSettings();
    Preferences again(reopened.get());
    EXPECT_EQ(again.hotKey(), combo);
    EXPECT_TRUE(again.playSound());
    EXPECT_EQ(again.panelPosition(), PanelPosition::fixed);
    EXPECT_EQ(again.recognitionLanguages(), QStringList{QStringLiteral("de-DE")});
    EXPECT_EQ(again.lineBreaks(), LineBreakMode::joinParagraphs);
    EXPECT_TRUE(again.hasCompletedOnboarding());
}

TEST_F(PreferencesTest, GarbledValuesReadAsTheDefaultAndStayUntilSet)
{
    // Each setting garbled in its own way (wrong case, wrong type, serialized noise, a shortcut
    // missing a key) but one, and noise QSettings must get past.
    writeRawFile("hotKey=@ByteArray({\"keyCode\":19})\nplaySound=@Rect(1 2 3 4)\nshowPanel=0\n"
                 "panelPosition=Fixed\nrecognitionLanguages=@Variant(\x01\xff\x02)\n"
                 "lineBreaks=42\nstripHyphenation=banana\ndetectBarcodes=@Point(1 2)\n"
                 "hasCompletedOnboarding=\n[Gen\x01\n=\n\\\\\\\n");
    QSettings empty(m_dir.filePath(QStringLiteral("empty.conf")), QSettings::NativeFormat);
    const Preferences defaults(&empty);
    {
        auto settings = openSettings();
        Preferences prefs(settings.get());
        EXPECT_FALSE(prefs.showPanel());
        for (std::size_t i = 0; i < Preferences::settingCount; ++i) {
            const auto setting = Preferences::Setting(i);
            if (setting != Preferences::Setting::showPanel) {
                EXPECT_EQ(prefs.value(setting), defaults.value(setting)) << i;
            }
        }
        prefs.setShowPanel(true);
    }
    // Nothing else is repaired behind the user's back.
    EXPECT_TRUE(rawFile().contains("showPanel=true"));
    EXPECT_TRUE(rawFile().contains("panelPosition=Fixed"));
    EXPECT_TRUE(rawFile().contains("stripHyphenation=banana"));
}

TEST_F(PreferencesTest, PropertiesNotifyOnceOnAChangeExceptTheShortcutAndAlwaysWrite)
{
    auto settings = openSettings();
    Preferences prefs(settings.get());
    QSignalSpy sound(&prefs, &Preferences::playSoundChanged);
    QSignalSpy position(&prefs, &Preferences::panelPositionChanged);
    QSignalSpy languages(&prefs, &Preferences::recognitionLanguagesChanged);
    QSignalSpy hotKey(&prefs, &Preferences::hotKeyChanged);

    prefs.setPlaySound(false);
    EXPECT_EQ(sound.count(), 0);
    EXPECT_TRUE(rawFile().contains("playSound=false"));
    prefs.setPanelPosition(PanelPosition::nearSelection);
    prefs.setRecognitionLanguages({});
    for (int i = 0; i < 2; ++i) {
        prefs.setPlaySound(true);
        prefs.setPanelPosition(PanelPosition::fixed);
        prefs.setRecognitionLanguages({QStringLiteral("de-DE"), QStringLiteral("en-US")});
    }
    EXPECT_EQ(sound.count(), 1);
    ASSERT_EQ(position.count(), 1);
    EXPECT_EQ(position.first().first().value<PanelPosition>(), PanelPosition::fixed);
    EXPECT_EQ(languages.count(), 1);

    // The owner of the global registration redoes it at every set.
    prefs.setHotKey(HotKeyCombo::defaultCombo());
    EXPECT_EQ(hotKey.count(), 1);
    EXPECT_TRUE(rawFile().contains("hotKey="));
}

TEST_F(PreferencesTest, OnlyTheInstanceWithTheLoginItemTouchesItAndOnlyOnAChange)
{
    KeloTest::FakeLoginItem loginItem;
    loginItem.enabled = true;
    auto settings = openSettings();
    {
        Preferences separate(settings.get());
        EXPECT_FALSE(separate.launchAtLogin());
        separate.setLaunchAtLogin(true);
        EXPECT_TRUE(loginItem.requests.isEmpty());
    }

    Preferences prefs(settings.get(), &loginItem);
    EXPECT_TRUE(prefs.launchAtLogin());
    prefs.setLaunchAtLogin(true);
    EXPECT_TRUE(loginItem.requests.isEmpty());
    prefs.setLaunchAtLogin(false);
    EXPECT_EQ(loginItem.requests, QList<bool>{false});

    // A failed change is logged; the switch keeps what the user asked for.
    loginItem.failure = QStringLiteral("disk full");
    const KeloTest::LogCapture log;
    prefs.setLaunchAtLogin(true);
    EXPECT_TRUE(prefs.launchAtLogin());
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral("KeloLens: launch at login change failed: disk full")});
}

TEST_F(PreferencesTest, AnUnwritableSettingsFileIsLoggedOnceAndTheValuesStillApply)
{
    // A file where the settings folder belongs: even root cannot write there.
    QFile blocker(m_dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettings settings(m_dir.filePath(QStringLiteral("blocked/KeloLens.conf")),
                       QSettings::NativeFormat);
    Preferences prefs(&settings);

    const KeloTest::LogCapture log;
    prefs.setShowPanel(false);
    prefs.setPlaySound(true);
    prefs.setHotKey({20, HotKeyCombo::command});

    ASSERT_EQ(log.lines().size(), 1) << log.lines().join(u'\n').toStdString();
    EXPECT_TRUE(log.lines().first().startsWith(
        QStringLiteral("KeloLens: settings could not be saved to %1")
            .arg(m_dir.filePath(QStringLiteral("blocked/KeloLens.conf")))));
    EXPECT_FALSE(prefs.showPanel());
    EXPECT_TRUE(prefs.playSound());
    EXPECT_EQ(prefs.hotKey(), (HotKeyCombo{20, HotKeyCombo::command}));
}

TEST_F(PreferencesTest, AFileThatCannotBeWrittenIsLoggedAlsoAfterAFormatError)
{
    const QString folder = m_dir.filePath(QStringLiteral("config"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/KeloLens.conf");
    QFile garbled(path);
    ASSERT_TRUE(garbled.open(QIODevice::WriteOnly));
    garbled.write("[General]\nplaySound=true\n[unclosed\n");
    garbled.close();
    QSettings settings(path, QSettings::NativeFormat);
    Preferences prefs(&settings);
    ASSERT_EQ(settings.status(), QSettings::FormatError);
    // The folder goes, and a file takes its name: the settings can no longer be written.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const KeloTest::LogCapture log;
    prefs.setShowPanel(false);
    prefs.setShowPanel(true);
    ASSERT_EQ(log.lines().size(), 1) << log.lines().join(u'\n').toStdString();
    EXPECT_TRUE(log.lines().first().startsWith(
        QStringLiteral("KeloLens: settings could not be saved to %1").arg(path)));
}
