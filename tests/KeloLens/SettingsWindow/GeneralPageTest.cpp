// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/GeneralPage.h"

#include "KeloHotkey/widgets/HotKeyRecorder.h"
#include "KeloLens/SettingsWindow/AboutSection.h"
#include "KeloLens/SettingsWindow/PermissionStatus.h"
#include "KeloLens/SettingsWindow/ToggleSwitch.h"
#include "SettingsFixture.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

using GeneralPageTest = SettingsFixture;

TEST_F(GeneralPageTest, ControlsWriteTheirSettingsAtOnceAndFollowThem)
{
    GeneralPage page(services());
    page.playSoundSwitch()->click();
    EXPECT_TRUE(prefs.playSound());
    EXPECT_TRUE(settings.value("playSound").toBool());
    page.launchAtLoginSwitch()->click();
    EXPECT_TRUE(prefs.launchAtLogin());

    page.panelPositionPicker()->setCurrentIndex(1);
    Q_EMIT page.panelPositionPicker()->activated(1);
    EXPECT_EQ(prefs.panelPosition(), PanelPosition::fixed);

    // The panel position is greyed out while the panel is off, and keeps its value.
    page.showPanelSwitch()->click();
    EXPECT_FALSE(prefs.showPanel());
    EXPECT_FALSE(page.panelPositionPicker()->isEnabled());
    EXPECT_EQ(page.panelPositionPicker()->currentText(), "Centre of the screen");

    // A shortcut recorded in the page is stored; one set elsewhere (a taken shortcut put back)
    // is shown.
    const HotKeyCombo altA{0, HotKeyCombo::option};
    page.recorder()->startRecording();
    Q_EMIT page.recorder()->comboEdited(altA);
    EXPECT_EQ(prefs.hotKey(), altA);
    prefs.setHotKey(HotKeyCombo::defaultCombo());
    EXPECT_EQ(page.recorder()->combo(), HotKeyCombo::defaultCombo());
    prefs.setPlaySound(false);
    EXPECT_FALSE(page.playSoundSwitch()->isChecked());
}

TEST_F(GeneralPageTest, PermissionRowsSayWhatHoldsAndOfferOnlyButtonsThatWork)
{
    // A refusal the desktop keeps but will not let go of, and keys the user may still allow.
    GeneralPage page(services());
    PermissionStatus &screen = *page.screenRecordingStatus();
    PermissionStatus &paste = *page.accessibilityStatus();
    EXPECT_TRUE(screen.label()->text().startsWith("Refused: "));
    EXPECT_TRUE(screen.button()->isHidden());
    EXPECT_EQ(paste.label()->text(), "Needs the desktop's remote-control permission");
    EXPECT_FALSE(paste.button()->isHidden());

    // Where the refusal can be forgotten the button does it, and the desktop asks again.
    page.show();
    permission.canRequest = true;
    ASSERT_TRUE(KeloTest::waitUntil([&] { return screen.button()->isVisible(); }));
    screen.button()->click();
    EXPECT_EQ(permission.requests, 1);
    EXPECT_EQ(screen.label()->text(), "Your desktop asks at the first capture");
    EXPECT_TRUE(screen.button()->isHidden());

    keys.isSessionAllowingKeys = true;
    EXPECT_TRUE(KeloTest::waitUntil([&] { return paste.isInForce(); }));
    EXPECT_TRUE(paste.button()->isHidden());
    page.hide();
    EXPECT_FALSE(page.refreshTimer()->isActive());

    // X11: nothing to ask for.
    SettingsServices x11 = services();
    x11.isX11 = true;
    permission.isAsked = false;
    GeneralPage onX11(x11);
    EXPECT_EQ(onX11.screenRecordingStatus()->label()->text(), "Not needed on X11");
    EXPECT_EQ(onX11.accessibilityStatus()->label()->text(), "Sends Ctrl+V through the X server");
    keys.isSessionAllowingKeys = false;
    keys.isSessionSupportingKeys = false;
    onX11.refreshPermissions();
    EXPECT_EQ(onX11.accessibilityStatus()->label()->text(), "Not available on this desktop");
    EXPECT_TRUE(onX11.accessibilityStatus()->button()->isHidden());
}

TEST_F(GeneralPageTest, WithoutATrayOrGlobalShortcutsItSaysHowToCapture)
{
    SettingsServices noTray = services();
    noTray.isTrayMissing = true;
    {
        GeneralPage page(noTray);
        ASSERT_NE(page.captureHint(), nullptr);
        const HotKeyCombo altA{0, HotKeyCombo::option};
        prefs.setHotKey(altA);
        EXPECT_TRUE(
            page.captureHint()->text().contains(altA.displayString(KeyboardLayout(keymap))));
    }
    SettingsServices bare = services();
    bare.hasGlobalShortcuts = false;
    bare.isTrayMissing = true;
    GeneralPage page(bare);
    EXPECT_EQ(page.recorder(), nullptr);
    ASSERT_NE(page.shortcutCommand(), nullptr);
    EXPECT_EQ(page.shortcutCommand()->text(), QStringLiteral("kelolens --capture"));
    // Without a tray either, the hint names the command, not a shortcut that does nothing.
    ASSERT_NE(page.captureHint(), nullptr);
    EXPECT_TRUE(page.captureHint()->text().contains(QStringLiteral("kelolens --capture")));
}

TEST_F(GeneralPageTest, AboutShowsTheVersionTheUpdateCheckAndTheLinks)
{
    SettingsServices withInfo = services();
    withInfo.appInfo.website = QStringLiteral("https://kelolens.example/");
    withInfo.appInfo.supportMailbox = QStringLiteral("help@kelolens.example");
    AboutSection about(withInfo);
    ASSERT_NE(about.updatesButton(), nullptr);
    EXPECT_EQ(about.updatesButton()->text(), "Check for Updates…");
    about.updatesButton()->click();
    EXPECT_EQ(updater.checkCount, 1);

    for (QToolButton *link : about.links()) {
        link->click();
    }
    EXPECT_EQ(opened, (QList<QUrl>{QUrl("https://kelolens.example/"),
                                   QUrl("https://kelolens.example/changelog"),
                                   QUrl("mailto:help@kelolens.example")}));

    // An updater without an in-app check gets no row.
    KeloTest::FakeUpdater linkOnly(false);
    withInfo.updater = &linkOnly;
    EXPECT_EQ(AboutSection(withInfo).updatesButton(), nullptr);
}
