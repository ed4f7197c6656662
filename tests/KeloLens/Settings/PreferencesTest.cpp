// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Settings/Preferences.h"

#include "KeloPlatform/LoginItem.h"
#include "support/LogCapture.h"

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

class FakeLoginItem final : public KeloPlatform::LoginItem
{
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool value) override
    {
        requests.append(value);
        if (!failure) {
            enabled = value;
        }
        return failure;
    }

    bool enabled = false;
    std::optional<QString> failure;
    QList<bool> requests;
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

TEST_F(PreferencesTest, HandEditedValuesNeedTheirExactFormAndStayUntilSet)
{
    writeRawFile("panelPosition=Fixed\nlineBreaks=joinParagraphs\nstripHyphenation=banana\n"
                 "showPanel=0\nhotKey=@ByteArray({\"keyCode\":19})\n");
    const QVariant storedHotKey = openSettings()->value(QStringLiteral("hotKey"));
    {
        auto settings = openSettings();
        Preferences prefs(settings.get());
        EXPECT_EQ(prefs.panelPosition(), PanelPosition::nearSelection);
        EXPECT_EQ(prefs.lineBreaks(), LineBreakMode::joinParagraphs);
        EXPECT_TRUE(prefs.stripHyphenation());
        EXPECT_FALSE(prefs.showPanel());
        EXPECT_EQ(prefs.hotKey(), HotKeyCombo::defaultCombo());
        prefs.setPlaySound(true);
    }
    // Nothing is repaired behind the user's back.
    EXPECT_TRUE(rawFile().contains("panelPosition=Fixed"));
    EXPECT_EQ(openSettings()->value(QStringLiteral("hotKey")), storedHotKey);
}

TEST_F(PreferencesTest, PropertiesNotifyOnlyOnAChangeExceptTheShortcutAndAlwaysWrite)
{
    auto settings = openSettings();
    Preferences prefs(settings.get());
    QSignalSpy sound(&prefs, &Preferences::playSoundChanged);
    QSignalSpy hotKey(&prefs, &Preferences::hotKeyChanged);

    prefs.setPlaySound(false);
    EXPECT_EQ(sound.count(), 0);
    EXPECT_TRUE(rawFile().contains("playSound=false"));
    prefs.setPlaySound(true);
    prefs.setPlaySound(true);
    EXPECT_EQ(sound.count(), 1);

    // The owner of the global registration redoes it at every set.
    prefs.setHotKey(HotKeyCombo::defaultCombo());
    EXPECT_EQ(hotKey.count(), 1);
    EXPECT_TRUE(rawFile().contains("hotKey="));
}

TEST_F(PreferencesTest, OnlyTheInstanceWithTheLoginItemTouchesItAndOnlyOnAChange)
{
    FakeLoginItem loginItem;
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

TEST_F(PreferencesTest, ABrokenSettingsFileKeepsWhatCanBeReadAndStillSaves)
{
    QByteArray garbage("playSound=true\n[Gen\x01\n=\n\\\\\\\n");
    for (int i = 0; i < 2000; ++i) {
        garbage.append(char((i * 7919) % 256));
    }
    writeRawFile(garbage);
    const KeloTest::LogCapture log;
    {
        auto settings = openSettings();
        Preferences prefs(settings.get());
        EXPECT_TRUE(prefs.playSound());
        prefs.setShowPanel(false);
    }
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(u'\n').toStdString();
    auto settings = openSettings();
    Preferences reopened(settings.get());
    EXPECT_TRUE(reopened.playSound());
    EXPECT_FALSE(reopened.showPanel());
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
