// SPDX-License-Identifier: GPL-3.0-or-later
// KeloLens on headless sway 1.7 with XWayland, grim, xdg-desktop-portal-wlr and waybar's tray.
// sway has no shortcut portal and no remote control portal: the user binds `kelolens --capture`
// in the compositor, and pastes by hand. Most captures select with the region tool (a stand-in
// slurp, then grim); one selects on KeloLens's own still picture, with the keys.

#include "DesktopFixture.h"
#include "KeloPlatform/wayland/WaylandClipboard.h"

#include <QFile>

namespace KeloDesktops {
namespace {

const QString sample = QStringLiteral("Headless sway capture");

class OnSway : public DesktopTest
{
protected:
    void SetUp() override { startDesktop(QStringLiteral("sway")); }

    // The sample text in a native Wayland window where the stand-in slurp selects.
    void showSample()
    {
        m_scene = showText({sample}, true);
        ASSERT_TRUE(m_scene != nullptr);
        KeloTest::processEventsFor(500ms);
    }

    // Ctrl and the arrows take the pointer to the desktop's top-left corner and then to the
    // sample on the monitor `left` pixels right of it, Shift with them draws the rectangle the
    // stand-in slurp gives, and Return takes it: the sample's text is on the clipboard.
    void selectSampleWithTheKeys(int left = 0)
    {
        const auto press = [&](const char *chord, int times) {
            for (int i = 0; i < times; ++i) {
                ASSERT_TRUE(m_desktop->pressKeys(QString::fromLatin1(chord)));
            }
        };
        press("ctrl+Left", 128);
        press("ctrl+Up", 72);
        press("ctrl+Right", left / 10);
        press("ctrl+Down", 28);
        press("ctrl+shift+Right", 90);
        press("ctrl+shift+Down", 18);
        press("Return", 1);
        const std::optional<QString> text = waitForClipboard(QStringLiteral("sway capture"));
        ASSERT_TRUE(text.has_value()) << m_app.log().join(u'\n').toStdString();
        EXPECT_TRUE(text->contains(sample)) << text->toStdString();
    }

    std::unique_ptr<KeloTest::HelperProcess> m_scene;
};

const QString withRegionTool = QStringLiteral("selectWith=desktopTool");

// sway has no shortcut service: the app says once how to bind the command, and raises no alert
// about a shortcut "in use".
TEST_F(OnSway, NoShortcutServiceMeansNoFalseAlert)
{
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(logHas(QStringLiteral("platform backend portal")));
    // No systemd user manager on this bus: the app says once what that costs.
    EXPECT_TRUE(logHas(QStringLiteral("cannot run in a systemd scope of its own")));
    EXPECT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s))
        << "an alert held the launch";
    EXPECT_FALSE(logHas(QStringLiteral("could not register hotkey")));
    EXPECT_FALSE(screenShows(QStringLiteral("already in use"), 2s));
    EXPECT_EQ(m_app.log().filter(QStringLiteral("kelolens --capture")).size(), 1);
}

// With the capture sound on, the sound goes to the sound system: libcanberra loads its output
// module for it (where no sound server runs, as here, the sound itself then fails quietly).
TEST_F(OnSway, ACaptureFromTheCommandLineIsOnTheClipboardForWaylandClients)
{
    showSample();
    ASSERT_TRUE(startApp(
        {QStringLiteral("showPanel=false"), QStringLiteral("playSound=true"), withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    const std::optional<QString> text = waitForClipboard(QStringLiteral("sway capture"));
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains(sample)) << text->toStdString();
    QFile maps(QStringLiteral("/proc/%1/maps").arg(m_app.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_TRUE(maps.readAll().contains("libcanberra-0.30/")) << "no sound was played";
}

TEST_F(OnSway, TheTrayMenusCaptureTextCaptures)
{
    showSample();
    ASSERT_TRUE(startApp({QStringLiteral("showPanel=false"), withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_TRUE(chooseTrayItem(QStringLiteral("Capture Text")));
    const std::optional<QString> text = waitForClipboard(QStringLiteral("sway capture"));
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains(sample)) << text->toStdString();
}

// Without a remote control portal no key can be sent: the panel offers Copy, says why, and
// Return copies and closes it instead of asking for a permission that cannot be given.
TEST_F(OnSway, WithoutKeyInjectionThePanelOffersCopyAndSaysWhy)
{
    showSample();
    ASSERT_TRUE(startApp({withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(waitForClipboard(QStringLiteral("sway capture")).has_value());
    ASSERT_TRUE(screenShows(QStringLiteral("Copy")));
    EXPECT_FALSE(screenShows(QStringLiteral("Allow Paste"), 1s));
    EXPECT_TRUE(screenShows(QStringLiteral("Copy with Ctrl+C and paste")));
    ASSERT_TRUE(m_desktop->pressKeys(QStringLiteral("Return")));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !screenShows(QStringLiteral("Copy"), 1s); }, 6s));
    EXPECT_EQ(m_desktop->clipboardText(), sample);
}

// grim reads every output into memory, the still picture covers the screen, and the keys select.
TEST_F(OnSway, ASelectionMadeWithTheKeysOnTheStillPictureIsOnTheClipboard)
{
    showSample();
    ASSERT_TRUE(startApp({QStringLiteral("showPanel=false")}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("selecting on 1 monitor(s)"), 10s))
        << m_app.log().join(u'\n').toStdString();
    ASSERT_TRUE(screenShows(QStringLiteral("Drag over the text or code")));
    ASSERT_NO_FATAL_FAILURE(selectSampleWithTheKeys());
}

// With a second monitor the pictures are out of sway's hands (it would put them all on one
// monitor), where sway gives them no keyboard; the keys reach them all the same. The second one,
// at twice the scale, lies left of the first, so the sample's pixels are cut at an offset and a
// scale that are not the first monitor's alone.
TEST_F(OnSway, OnTwoMonitorsTheKeysSelectOnTheStillPictures)
{
    showSample();
    ASSERT_TRUE(m_desktop->run(QStringLiteral("swaymsg"), {QStringLiteral("create_output")}));
    ASSERT_TRUE(m_desktop->run(
        QStringLiteral("swaymsg"),
        {QStringLiteral("output HEADLESS-2 resolution 1280x720 scale 2 position 0 0, "
                        "output HEADLESS-1 position 640 0")}));
    ASSERT_TRUE(startApp({QStringLiteral("showPanel=false")}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("selecting on 2 monitor(s)"), 10s));
    KeloTest::processEventsFor(500ms);
    ASSERT_NO_FATAL_FAILURE(selectSampleWithTheKeys(640));
}

// The clipboard of the Wayland sessions without X11 of their own, with no window of ours: served
// as often as it is read, in pieces when large, and taken back after another application.
TEST_F(OnSway, OurWaylandClipboardServesOtherClients)
{
    using KeloPlatform::WaylandClipboard;
    const auto clipboard =
        WaylandClipboard::connect(m_desktop->environment().value(QStringLiteral("WAYLAND_DISPLAY")),
                                  WaylandClipboard::Method::automatic);
    ASSERT_TRUE(clipboard);
    EXPECT_TRUE(clipboard->usesDataControl());
    const QString text = QString::fromUtf8("Zeile 1\nligne 2 ✓ \t 日本語\n\n  ");
    ASSERT_TRUE(clipboard->writeText(text));
    EXPECT_EQ(m_desktop->clipboardText(), text);
    EXPECT_EQ(m_desktop->clipboardText(), text) << "read twice, served twice";
    const QString large = QString(u'x').repeated(300 * 1024) + QStringLiteral("end");
    ASSERT_TRUE(clipboard->writeText(large));
    EXPECT_EQ(m_desktop->clipboardText(), large);

    m_desktop->run(QStringLiteral("wl-copy"), {QStringLiteral("from another app")});
    ASSERT_TRUE(KeloTest::waitUntil(
        [&] { return m_desktop->clipboardText() == QStringLiteral("from another app"); }));
    ASSERT_TRUE(clipboard->writeText(QStringLiteral("ours again")));
    EXPECT_EQ(m_desktop->clipboardText(), QStringLiteral("ours again"));
}

} // namespace
} // namespace KeloDesktops
