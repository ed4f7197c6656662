#include "AppUnderTest.h"
#include "Desktop.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace KeloE2E;
using namespace std::chrono_literals;

namespace {

const QString sceneText = QStringLiteral("Meeting at noon on Friday");
const QString otherClientPath =
    QStringLiteral(KELO_TEST_BINARY_DIR "/tests/KeloHotkey/kelo-test-x-client");

// The X keycode of the 2 key and the Control+Shift mask, for another client's grab.
constexpr int keycodeOf2 = 11;
constexpr int controlShift = 0x4 | 0x1;

bool anyLineContains(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines) {
        if (line.contains(text)) {
            return true;
        }
    }
    return false;
}

class AppE2E : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tray.isRunning()) << "trayer is needed";
        // A returning user: onboarding done, so no window is in the way.
        m_app.presetSetting(QStringLiteral("hasCompletedOnboarding=true"));
    }

    void TearDown() override
    {
        m_app.stop();
        EXPECT_TRUE(QDir(m_app.capturesFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
            << "a capture was left on disk";
    }

    // Waits for the region tool the app runs, then drags over the rectangle.
    bool selectRegion(const QRect &area)
    {
        if (!KeloTest::waitUntil([] { return isProgramRunning(QStringLiteral("maim")); }, 10s)) {
            return false;
        }
        // Let the tool grab the pointer before the drag starts.
        KeloTest::waitUntil([] { return false; }, 500ms);
        return drag(area.topLeft(), area.bottomRight());
    }

    bool waitForClipboard(const QString &text)
    {
        return KeloTest::waitUntil([&] { return clipboardText() == text; }, 30s);
    }

    // The tray menu's lines of text, read off the screen.
    QStringList trayMenuText()
    {
        if (!m_tray.openMenu()) {
            return {};
        }
        KeloTest::waitUntil([] { return false; }, 800ms);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QStringList text = textOnScreen(QRect(screen.right() - 400, 0, 400, 260));
        pressKeys({QStringLiteral("Escape")});
        return text;
    }

    Tray m_tray;
    AppUnderTest m_app;
};

} // namespace

TEST(AppE2EFirstLaunch, OpensOnboardingAtTheTryItStep)
{
    Tray tray;
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    // X11 lets every client read the screen, so there is no permission to ask for.
    ASSERT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("Welcome to KeloLens")).isEmpty(); }, 15s));
    const auto window = windowGeometry(windowsNamed(QStringLiteral("Welcome to KeloLens")).last());
    ASSERT_TRUE(window);
    EXPECT_TRUE(KeloTest::waitUntil(
        [&] { return anyLineContains(textOnScreen(*window), QStringLiteral("Try it now")); }, 10s));
    app.stop();
}

TEST_F(AppE2E, ShortcutCaptureCopiesTheTextShowsThePanelAndPastesBack)
{
    const auto field = showScene({QStringLiteral("--field"), QStringLiteral("--at"),
                                  QStringLiteral("900,600")});
    ASSERT_TRUE(field);
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    // The user works in the field's window and captures from the other one.
    ASSERT_TRUE(QProcess::execute(QStringLiteral("xdotool"),
                                  {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                   QString::number(field->window)}) == 0);
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("platform backend x11")));

    const QRect textArea = scene->geometry.adjusted(4, 4, -4, -4);
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(textArea));
    ASSERT_TRUE(waitForClipboard(sceneText)) << clipboardText().toStdString();

    // The panel opens next to the selection: below it when it fits.
    ASSERT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("KeloLens results")).isEmpty(); }, 10s));
    const auto panel = windowGeometry(windowsNamed(QStringLiteral("KeloLens results")).last());
    ASSERT_TRUE(panel);
    EXPECT_GE(panel->top(), textArea.bottom());
    EXPECT_LE(panel->top(), textArea.bottom() + 120);

    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
    EXPECT_TRUE(KeloTest::waitUntil(
        [] { return windowsNamed(QStringLiteral("KeloLens results")).isEmpty(); }, 5s));

    // Again, and Return pastes into the window the user came from.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(textArea));
    ASSERT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("KeloLens results")).isEmpty(); }, 30s));
    ASSERT_TRUE(pressKeys({QStringLiteral("Return")}));
    EXPECT_EQ(field->helper->waitForLine(QStringLiteral("text Meeting")),
              QStringLiteral(" at noon on Friday"));
}

TEST_F(AppE2E, CaptureCodeFromTheTrayMenuCopiesThePayload)
{
    const QString payload = QStringLiteral("https://example.com/kelo?e2e=1");
    const auto scene = showScene({QStringLiteral("--qr"), payload});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("platform backend")));
    KeloTest::waitUntil([] { return false; }, 1s);

    ASSERT_TRUE(m_tray.openMenu());
    KeloTest::waitUntil([] { return false; }, 500ms);
    // The second item.
    ASSERT_TRUE(pressKeys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}));
    ASSERT_TRUE(selectRegion(scene->geometry));
    EXPECT_TRUE(waitForClipboard(payload)) << clipboardText().toStdString();
}

TEST_F(AppE2E, WithThePanelOffAToastSaysHowMuchWasCopied)
{
    m_app.presetSetting(QStringLiteral("showPanel=false"));
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("platform backend")));

    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(scene->geometry.adjusted(4, 4, -4, -4)));
    ASSERT_TRUE(waitForClipboard(sceneText));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QString expected = QStringLiteral("Copied %1 characters").arg(sceneText.size());
    EXPECT_TRUE(KeloTest::waitUntil(
        [&] {
            return anyLineContains(
                textOnScreen(QRect(screen.center().x() - 300, 0, 600, 120)), expected);
        },
        3s));
    EXPECT_TRUE(windowsNamed(QStringLiteral("KeloLens results")).isEmpty());
}

TEST_F(AppE2E, AShortcutTakenAtLaunchBringsTheAlertAndTheMenuStillCaptures)
{
    Helper other(otherClientPath, {QStringLiteral("grab"), QString::number(keycodeOf2),
                                   QString::number(controlShift)});
    ASSERT_EQ(other.waitForLine(QStringLiteral("grabbed")), QString());
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("could not register hotkey Ctrl+Shift+2")));
    ASSERT_TRUE(KeloTest::waitUntil(
        [] {
            return anyLineContains(textOnScreen(),
                                   QStringLiteral("is already in use by another app"));
        },
        10s));
    // "Later".
    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
    KeloTest::waitUntil([] { return false; }, 500ms);

    const QStringList menu = trayMenuText();
    ASSERT_FALSE(menu.isEmpty());
    EXPECT_EQ(menu.first().trimmed(), QStringLiteral("Capture Text"));
}

TEST_F(AppE2E, ASecondLaunchOpensTheSettingsWindowOfTheRunningOne)
{
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("platform backend")));
    EXPECT_EQ(m_app.launchAgain(), 0);
    EXPECT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("General")).isEmpty(); }, 10s));
    EXPECT_TRUE(m_app.isRunning());
    const QString running =
        QString::fromUtf8([] {
            QProcess pgrep;
            pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-c"), QStringLiteral("-x"),
                                                  QStringLiteral("kelolens")});
            pgrep.waitForFinished();
            return pgrep.readAllStandardOutput();
        }())
            .trimmed();
    EXPECT_EQ(running, QStringLiteral("1"));
}

TEST_F(AppE2E, QuittingFromTheTrayMenuEndsTheProcessMidCapture)
{
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("platform backend")));
    // A capture under way: its region tool is open.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(KeloTest::waitUntil([] { return isProgramRunning(QStringLiteral("maim")); }, 10s));
    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
    KeloTest::waitUntil([] { return !isProgramRunning(QStringLiteral("maim")); }, 5s);

    ASSERT_TRUE(m_tray.openMenu());
    KeloTest::waitUntil([] { return false; }, 500ms);
    // Up from the top lands on the last item.
    ASSERT_TRUE(pressKeys({QStringLiteral("Up"), QStringLiteral("Return")}));
    EXPECT_EQ(m_app.waitForExit(10s), 0);
    EXPECT_FALSE(isProgramRunning(QStringLiteral("maim")));
}
