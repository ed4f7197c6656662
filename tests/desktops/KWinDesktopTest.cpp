// SPDX-License-Identifier: GPL-3.0-or-later
// KeloLens on KWin 5.27 (virtual back end, XWayland) with xdg-desktop-portal-kde, kglobalaccel,
// kded5 and the real Spectacle, driven through KWin's fake input.

#include "DesktopFixture.h"
#include "KeloLens/Settings/Preferences.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QSettings>

namespace KeloDesktops {
namespace {

const QString sample = QStringLiteral("KWin capture works");
const QString withRegionTool = QStringLiteral("selectWith=desktopTool");

class OnKWin : public DesktopTest
{
protected:
    void SetUp() override { startDesktop(QStringLiteral("kwin")); }

    // KWin centres the sample's window on the screen.
    void showSample()
    {
        m_scene = showText({sample}, true);
        ASSERT_TRUE(m_scene != nullptr);
        KeloTest::processEventsFor(500ms);
    }

    // Spectacle shows its region selector; the user drags over the sample and accepts.
    bool selectSample()
    {
        if (!KeloTest::waitUntil(
                [&] { return m_app.child(QStringLiteral("spectacle")).has_value(); }, 20s)) {
            return false;
        }
        // Its selector takes a moment to cover the screen.
        KeloTest::processEventsFor(2500ms);
        return m_desktop->drag({380, 280}, {900, 440}) &&
               m_desktop->pressKeys(QStringLiteral("Return"));
    }

    // A capture with KeloLens's own selection: a drag over the sample on the still picture puts
    // its text on the clipboard.
    // `left` is where the sample's monitor begins.
    void selectSampleOnTheStillPicture(int monitors = 1, int left = 0)
    {
        ASSERT_TRUE(startApp({QStringLiteral("showPanel=false")}));
        ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 30s));
        ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
        ASSERT_TRUE(
            m_app.waitForLog(QStringLiteral("selecting on %1 monitor(s)").arg(monitors), 20s));
        KeloTest::processEventsFor(500ms);
        ASSERT_TRUE(m_desktop->drag({left + 380, 280}, {left + 900, 440}));
        const std::optional<QString> text = waitForClipboard(QStringLiteral("capture works"));
        ASSERT_TRUE(text.has_value());
        EXPECT_TRUE(text->contains(sample)) << text->toStdString();
    }

    // The kglobalaccel components KeloLens has, by their object paths.
    QStringList keloComponents()
    {
        const QDBusMessage reply = m_desktop->bus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
            QStringLiteral("org.kde.KGlobalAccel"), QStringLiteral("allComponents")));
        QStringList found;
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
        for (const QDBusObjectPath &path : paths) {
            if (path.path().contains(QStringLiteral("kelolens"), Qt::CaseInsensitive)) {
                found << path.path();
            }
        }
        return found;
    }

    std::unique_ptr<KeloTest::HelperProcess> m_scene;
};

// The app's own environment, not its Qt settings, goes to Spectacle: told to use X11, it takes
// no screenshot at all and still exits 0.
TEST_F(OnKWin, ACaptureWithSpectacleIsOnTheClipboardForWaylandClients)
{
    showSample();
    ASSERT_TRUE(startApp({QStringLiteral("showPanel=false"), withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 30s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(selectSample());
    const std::optional<QString> text = waitForClipboard(QStringLiteral("capture works"));
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains(sample)) << text->toStdString();
}

// The desktop keeps the shortcut under KeloLens's own id, the same at every start, and a key
// press starts a capture. The user's chord here has no Shift: see the README.
TEST_F(OnKWin, TheShortcutIsBoundUnderTheAppsOwnIdAndAKeyPressCaptures)
{
    {
        QSettings settings(m_app.settingsFile(), QSettings::IniFormat);
        Preferences prefs(&settings);
        prefs.setHotKey({40, HotKeyCombo::command | HotKeyCombo::option}); // Ctrl+Alt+K
    }
    ASSERT_TRUE(startApp({withRegionTool}));
    EXPECT_TRUE(logHas(QStringLiteral("platform backend portal")));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 30s));
    EXPECT_FALSE(m_app.waitForLog(QStringLiteral("could not register hotkey"), 3s));
    EXPECT_EQ(keloComponents(),
              QStringList{QStringLiteral("/component/app_kelolens_KeloLenskelolens_capture")});

    m_app.stop();
    ASSERT_TRUE(startApp({withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 30s));
    KeloTest::processEventsFor(2s);
    EXPECT_EQ(keloComponents().size(), 1) << "a second start keeps the same binding";

    ASSERT_TRUE(m_desktop->pressKeys(QStringLiteral("ctrl+alt+k")));
    EXPECT_TRUE(KeloTest::waitUntil(
        [&] { return m_app.child(QStringLiteral("spectacle")).has_value(); }, 20s));
    m_desktop->pressKeys(QStringLiteral("Escape"));
}

TEST_F(OnKWin, TheTrayMenusCaptureTextCaptures)
{
    showSample();
    ASSERT_TRUE(startApp({QStringLiteral("showPanel=false"), withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 30s));
    ASSERT_TRUE(chooseTrayItem(QStringLiteral("Capture Text")));
    ASSERT_TRUE(selectSample());
    const std::optional<QString> text = waitForClipboard(QStringLiteral("capture works"));
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains(sample)) << text->toStdString();
}

// Paste goes through the desktop's remote control portal: its own dialog asks, and once the user
// allows it, Return in the panel pastes the capture into the Wayland field the user came from.
TEST_F(OnKWin, ReturnPastesIntoTheWaylandFieldOnceTheDesktopAllowsIt)
{
    showSample();
    ASSERT_TRUE(startApp({withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 30s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(selectSample());
    ASSERT_TRUE(waitForClipboard(QStringLiteral("capture works")).has_value());
    const std::optional<QRect> allowPaste = whereScreenShows(QStringLiteral("Allow Paste"), 20s);
    ASSERT_TRUE(allowPaste.has_value());
    ASSERT_TRUE(m_desktop->click(allowPaste->center()));
    // KDE's dialog takes the keyboard, with Share as its default button.
    ASSERT_TRUE(screenShows(QStringLiteral("Remote control requested"), 20s));
    ASSERT_TRUE(m_desktop->pressKeys(QStringLiteral("Return")));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("allows pasting by key presses"), 10s));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return panelHasKeyboard(); }, 10s))
        << "the panel came back without the keyboard";
    ASSERT_TRUE(m_desktop->pressKeys(QStringLiteral("Return")));
    // The selection takes in a little of the window's frame too.
    EXPECT_TRUE(KeloTest::waitUntil(
        [&] { return m_scene->lines().join(u'\n').contains(QStringLiteral("text ")); }, 10s));
    EXPECT_TRUE(m_scene->lines().join(u'\n').contains(sample))
        << "the field holds: " << m_scene->lines().join(u'|').toStdString();
}

// KWin lets a program read the screen only when a desktop entry naming it allows it: here none
// does, so Spectacle takes the picture in the background. The drag is made on the still picture,
// its text is on the clipboard, and no picture is left anywhere.
TEST_F(OnKWin, ASelectionOnTheStillPictureSpectacleTookIsOnTheClipboard)
{
    showSample();
    ASSERT_NO_FATAL_FAILURE(selectSampleOnTheStillPicture());
    EXPECT_TRUE(logHas(QStringLiteral("Spectacle reads it instead")));
    const QString runtime = m_desktop->environment().value(QStringLiteral("XDG_RUNTIME_DIR"));
    EXPECT_TRUE(
        QDir(runtime).entryList({QStringLiteral("kelolens-screen-*")}, QDir::Dirs).isEmpty());
}

// With the app's desktop entry installed as the package installs it, KWin gives the picture: one
// of the whole desktop, here of a monitor at twice the scale left of the sample's one, which the
// selection is cut from.
class OnKWinWithTheAppInstalled : public OnKWin
{
protected:
    void SetUp() override
    {
        startDesktop(QStringLiteral("kwin"),
                     {QStringLiteral(KELO_TEST_BINARY_DIR
                                     "/share/applications/app.kelolens.KeloLens.desktop")},
                     2);
    }
};

TEST_F(OnKWinWithTheAppInstalled, ASelectionOnTheStillPictureKWinGaveIsOnTheClipboard)
{
    ASSERT_TRUE(m_desktop->run(QStringLiteral("kscreen-doctor"),
                               {QStringLiteral("output.Virtual-1.scale.2"),
                                QStringLiteral("output.Virtual-1.position.0,0"),
                                QStringLiteral("output.Virtual-0.position.640,0")}));
    showSample();
    ASSERT_NO_FATAL_FAILURE(selectSampleOnTheStillPicture(2, 640));
    EXPECT_FALSE(logHas(QStringLiteral("Spectacle reads it instead")));
}

} // namespace
} // namespace KeloDesktops
