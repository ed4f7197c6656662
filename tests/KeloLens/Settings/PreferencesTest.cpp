#include "KeloLens/Settings/Preferences.h"
#include "KeloPlatform/LoginItem.h"

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
    QString settingsPath() const
    {
        return m_dir.filePath(QStringLiteral("KeloLens-%1.conf").arg(m_fileNumber));
    }
    // QSettings caches files per process and only re-reads one whose size or time changed, so a
    // test that rewrites the file by hand starts a new one instead.
    void useFreshFile() { ++m_fileNumber; }

    std::unique_ptr<QSettings> openSettings() const
    {
        return std::make_unique<QSettings>(settingsPath(), QSettings::NativeFormat);
    }

    void writeRawFile(const QByteArray &contents) const
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
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

TEST_F(PreferencesTest, EmptyDatabaseGivesDefaultsAndStaysEmpty)
{
    auto settings = openSettings();
    Preferences prefs(settings.get());

    EXPECT_FALSE(prefs.playSound());
    EXPECT_TRUE(prefs.showPanel());
    EXPECT_EQ(prefs.panelPosition(), PanelPosition::nearSelection);
    EXPECT_TRUE(prefs.recognitionLanguages().isEmpty());
    EXPECT_EQ(prefs.lineBreaks(), LineBreakMode::keepLines);
    EXPECT_TRUE(prefs.stripHyphenation());
    EXPECT_TRUE(prefs.detectBarcodes());
    EXPECT_FALSE(prefs.hasCompletedOnboarding());
    EXPECT_FALSE(prefs.launchAtLogin());
    EXPECT_EQ(prefs.hotKey().keyCode, 19u);
    EXPECT_EQ(prefs.hotKey().modifiers, 768u);

    // Defaults are never written.
    settings->sync();
    EXPECT_TRUE(settings->allKeys().isEmpty());
    EXPECT_TRUE(rawFile().isEmpty());
}

TEST_F(PreferencesTest, EnumerationsNeedTheExactSecondRawValue)
{
    struct Case
    {
        QByteArray stored;
        PanelPosition position;
        LineBreakMode lineBreaks;
    };
    const QList<Case> cases{
        {"panelPosition=fixed\nlineBreaks=joinParagraphs\n", PanelPosition::fixed,
         LineBreakMode::joinParagraphs},
        {"panelPosition=Fixed\nlineBreaks=JoinParagraphs\n", PanelPosition::nearSelection,
         LineBreakMode::keepLines},
        {"panelPosition=FIXED\nlineBreaks=\"joinParagraphs \"\n", PanelPosition::nearSelection,
         LineBreakMode::keepLines},
        {"panelPosition=nearSelection\nlineBreaks=keepLines\n", PanelPosition::nearSelection,
         LineBreakMode::keepLines},
        // Non-string values (a list, a byte array) select the first case.
        {"panelPosition=fixed, fixed\nlineBreaks=@ByteArray(joinParagraphs)\n",
         PanelPosition::nearSelection, LineBreakMode::keepLines},
    };
    for (const Case &c : cases) {
        useFreshFile();
        writeRawFile("[General]\n" + c.stored);
        auto settings = openSettings();
        Preferences prefs(settings.get());
        EXPECT_EQ(prefs.panelPosition(), c.position) << c.stored.constData();
        EXPECT_EQ(prefs.lineBreaks(), c.lineBreaks) << c.stored.constData();
    }

    // An invalid stored value stays as it is until the field is set.
    useFreshFile();
    writeRawFile("[General]\npanelPosition=Fixed\n");
    {
        auto settings = openSettings();
        Preferences prefs(settings.get());
        prefs.setPlaySound(true);
    }
    EXPECT_TRUE(rawFile().contains("panelPosition=Fixed"));
    {
        auto settings = openSettings();
        Preferences prefs(settings.get());
        prefs.setPanelPosition(PanelPosition::nearSelection);
    }
    EXPECT_TRUE(rawFile().contains("panelPosition=nearSelection"));
}

TEST_F(PreferencesTest, EverySetReachesTheFileAtOnceAndReadsBackAsTheRightType)
{
    auto settings = openSettings();
    Preferences prefs(settings.get());
    const HotKeyCombo combo{0, HotKeyCombo::option | HotKeyCombo::control};

    prefs.setHotKey(combo);
    EXPECT_TRUE(rawFile().contains("hotKey=\"@ByteArray("));
    prefs.setPlaySound(true);
    EXPECT_TRUE(rawFile().contains("playSound=true"));
    prefs.setShowPanel(false);
    EXPECT_TRUE(rawFile().contains("showPanel=false"));
    prefs.setPanelPosition(PanelPosition::fixed);
    EXPECT_TRUE(rawFile().contains("panelPosition=fixed"));
    prefs.setRecognitionLanguages({QStringLiteral("en-US"), QStringLiteral("odd,name")});
    EXPECT_TRUE(rawFile().contains("recognitionLanguages="));
    prefs.setLineBreaks(LineBreakMode::joinParagraphs);
    EXPECT_TRUE(rawFile().contains("lineBreaks=joinParagraphs"));
    prefs.setStripHyphenation(false);
    EXPECT_TRUE(rawFile().contains("stripHyphenation=false"));
    prefs.setDetectBarcodes(false);
    EXPECT_TRUE(rawFile().contains("detectBarcodes=false"));
    prefs.setHasCompletedOnboarding(true);
    EXPECT_TRUE(rawFile().contains("hasCompletedOnboarding=true"));

    // A fresh store over the same file (as at the next launch) reads every value back.
    settings.reset();
    auto reopened = openSettings();
    EXPECT_EQ(reopened->value(QStringLiteral("hotKey")).typeId(), QMetaType::QByteArray);
    Preferences again(reopened.get());
    EXPECT_EQ(again.hotKey(), combo);
    EXPECT_TRUE(again.playSound());
    EXPECT_FALSE(again.showPanel());
    EXPECT_EQ(again.panelPosition(), PanelPosition::fixed);
    EXPECT_EQ(again.recognitionLanguages(),
              (QStringList{QStringLiteral("en-US"), QStringLiteral("odd,name")}));
    EXPECT_EQ(again.lineBreaks(), LineBreakMode::joinParagraphs);
    EXPECT_FALSE(again.stripHyphenation());
    EXPECT_FALSE(again.detectBarcodes());
    EXPECT_TRUE(again.hasCompletedOnboarding());
}

TEST_F(PreferencesTest, LanguageListsOfAnyLengthRoundTrip)
{
    const QList<QStringList> lists{
        {},
        {QStringLiteral("de-DE")},
        {QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant"), QStringLiteral("ja")},
    };
    for (const QStringList &list : lists) {
        useFreshFile();
        {
            auto settings = openSettings();
            Preferences prefs(settings.get());
            prefs.setRecognitionLanguages({QStringLiteral("placeholder")});
            prefs.setRecognitionLanguages(list);
        }
        auto settings = openSettings();
        Preferences prefs(settings.get());
        EXPECT_EQ(prefs.recognitionLanguages(), list) << list.join(u' ').toStdString();
    }
}

TEST_F(PreferencesTest, HandWrittenBooleansAreReadAsBooleansAndGarbageKeepsTheDefault)
{
    useFreshFile();
    writeRawFile("[General]\nplaySound=true\nshowPanel=false\ndetectBarcodes=0\n"
                 "stripHyphenation=banana\nhasCompletedOnboarding=1\n");
    auto settings = openSettings();
    Preferences prefs(settings.get());
    EXPECT_TRUE(prefs.playSound());
    EXPECT_FALSE(prefs.showPanel());
    EXPECT_FALSE(prefs.detectBarcodes());
    EXPECT_TRUE(prefs.stripHyphenation());
    EXPECT_TRUE(prefs.hasCompletedOnboarding());
}

TEST_F(PreferencesTest, PropertiesNotifyOnlyWhenTheValueChangesButAlwaysWrite)
{
    auto settings = openSettings();
    Preferences prefs(settings.get());
    QSignalSpy sound(&prefs, &Preferences::playSoundChanged);
    QSignalSpy languages(&prefs, &Preferences::recognitionLanguagesChanged);
    QSignalSpy position(&prefs, &Preferences::panelPositionChanged);

    prefs.setPlaySound(false);
    EXPECT_EQ(sound.count(), 0);
    EXPECT_TRUE(rawFile().contains("playSound=false"));
    prefs.setPlaySound(true);
    prefs.setPlaySound(true);
    ASSERT_EQ(sound.count(), 1);
    EXPECT_EQ(sound.at(0).at(0).toBool(), true);

    prefs.setRecognitionLanguages({});
    EXPECT_EQ(languages.count(), 0);
    prefs.setRecognitionLanguages({QStringLiteral("fr-FR")});
    EXPECT_EQ(languages.count(), 1);

    prefs.setPanelPosition(PanelPosition::nearSelection);
    EXPECT_EQ(position.count(), 0);
    EXPECT_TRUE(rawFile().contains("panelPosition=nearSelection"));
    prefs.setPanelPosition(PanelPosition::fixed);
    EXPECT_EQ(position.count(), 1);
}

TEST_F(PreferencesTest, SettingTheSameHotKeyStillWritesAndPostsTheNotification)
{
    auto settings = openSettings();
    Preferences prefs(settings.get());
    QSignalSpy posted(&prefs, &Preferences::hotKeyChanged);

    prefs.setHotKey(HotKeyCombo::defaultCombo());
    EXPECT_EQ(posted.count(), 1);
    EXPECT_EQ(settings->value(QStringLiteral("hotKey")).toByteArray(),
              HotKeyCombo::defaultCombo().toJson());
    EXPECT_TRUE(rawFile().contains("hotKey="));

    prefs.setHotKey({20, HotKeyCombo::command});
    EXPECT_EQ(posted.count(), 2);
}

TEST_F(PreferencesTest, UndecodableHotKeyFallsBackWithoutRepairingTheStoredData)
{
    const QList<QByteArray> stored{
        "hotKey=@ByteArray(not json)\n",
        "hotKey=@ByteArray({\"keyCode\":19})\n",
        "hotKey=@ByteArray({\"keyCode\":-1,\"modifiers\":768})\n",
        "hotKey=42\n",
    };
    for (const QByteArray &line : stored) {
        useFreshFile();
        writeRawFile("[General]\n" + line);
        const QVariant original = openSettings()->value(QStringLiteral("hotKey"));
        ASSERT_TRUE(original.isValid());
        auto settings = openSettings();
        Preferences prefs(settings.get());
        EXPECT_EQ(prefs.hotKey(), HotKeyCombo::defaultCombo()) << line.constData();
        prefs.setShowPanel(false);
        settings.reset();
        EXPECT_EQ(openSettings()->value(QStringLiteral("hotKey")), original) << line.constData();
        EXPECT_TRUE(rawFile().contains("showPanel=false"));
    }

    // A value written by hand as plain JSON text still reads.
    useFreshFile();
    writeRawFile("[General]\nhotKey=\"{\\\"keyCode\\\":18,\\\"modifiers\\\":256}\"\n");
    auto settings = openSettings();
    Preferences prefs(settings.get());
    EXPECT_EQ(prefs.hotKey(), (HotKeyCombo{18, 256}));
}

namespace {

class FakeLoginItem final : public KeloPlatform::LoginItem
{
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool value) override
    {
        requests.append(value);
        if (failure)
            return failure;
        enabled = value;
        return std::nullopt;
    }

    bool enabled = false;
    std::optional<QString> failure;
    QList<bool> requests;
};

QStringList g_messages;
void collectMessages(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages.append(message);
}

} // namespace

TEST_F(PreferencesTest, OnlyTheInstanceWithTheLoginItemTouchesItAndOnlyOnAChange)
{
    FakeLoginItem loginItem;
    {
        // An instance over a separate file never registers anything.
        auto settings = openSettings();
        Preferences separate(settings.get());
        separate.setLaunchAtLogin(true);
        EXPECT_TRUE(separate.launchAtLogin());
        EXPECT_TRUE(loginItem.requests.isEmpty());
    }

    auto settings = openSettings();
    loginItem.enabled = true;
    Preferences prefs(settings.get(), &loginItem);
    EXPECT_TRUE(prefs.launchAtLogin()) << "the initial value comes from the login item";
    QSignalSpy spy(&prefs, &Preferences::launchAtLoginChanged);
    prefs.setLaunchAtLogin(true);
    EXPECT_TRUE(loginItem.requests.isEmpty()) << "setting the current value does nothing";
    prefs.setLaunchAtLogin(false);
    EXPECT_EQ(loginItem.requests, QList<bool>{false});
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(rawFile().contains("launchAtLogin"));

    // A failed change is logged once; the switch keeps what the user asked for.
    loginItem.failure = QStringLiteral("disk full");
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectMessages);
    prefs.setLaunchAtLogin(true);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(prefs.launchAtLogin());
    EXPECT_EQ(g_messages,
              QStringList{QStringLiteral("KeloLens: launch at login change failed: disk full")});
}

TEST_F(PreferencesTest, ABrokenSettingsFileKeepsWhatCanBeReadAndStillSaves)
{
    useFreshFile();
    QByteArray garbage("[General]\nplaySound=true\n[Gen\x01\n=\n\\\\\\\n");
    for (int i = 0; i < 2000; ++i) {
        garbage.append(char((i * 7919) % 256));
    }
    writeRawFile(garbage);
    {
        auto settings = openSettings();
        Preferences prefs(settings.get());
        EXPECT_TRUE(prefs.playSound());
        EXPECT_TRUE(prefs.showPanel());
        prefs.setShowPanel(false);
    }
    auto settings = openSettings();
    Preferences reopened(settings.get());
    EXPECT_TRUE(reopened.playSound());
    EXPECT_FALSE(reopened.showPanel());
}
