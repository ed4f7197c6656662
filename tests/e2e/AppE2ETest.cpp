#include "AppUnderTest.h"
#include "Desktop.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <gtest/gtest.h>

using namespace KeloE2E;
using KeloTest::pressKeys;
using namespace std::chrono_literals;

namespace {

const QString sceneText = QStringLiteral("Meeting at noon on Friday");

// The X keycode of the 2 key and the Control+Shift mask, for another client's grab.
constexpr int keycodeOf2 = 11;
constexpr int controlShift = 0x4 | 0x1;

std::optional<QRect> resultsPanel()
{
    const QList<quint64> windows = windowsNamed(QStringLiteral("KeloLens results"));
    return windows.isEmpty() ? std::nullopt : windowGeometry(windows.last());
}

bool anyLineContains(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines) {
        if (line.contains(text)) {
            return true;
        }
    }
    return false;
}

// Whether one of the windows with this title shows the text.
bool windowShows(const QString &title, const QString &text)
{
    for (const quint64 window : windowsNamed(title)) {
        const auto geometry = windowGeometry(window);
        if (geometry && anyLineContains(textOnScreen(*geometry), text)) {
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
        if (HasFailure()) {
            std::fprintf(stderr, "kelolens said:\n%s\n", qPrintable(m_app.log().join(u'\n')));
        }
        EXPECT_TRUE(QDir(m_app.capturesFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
            << "a capture was left on disk";
    }

    // Starts the app and waits until it has registered its capture shortcut.
    bool startAndWaitForShortcut()
    {
        return m_app.start() && m_app.waitForLog(QStringLiteral("launched, shortcut Ctrl+Shift+2"));
    }

    // Waits for the region tool the app runs, then drags over the rectangle.
    bool selectRegion(const QRect &area)
    {
        if (!KeloTest::waitUntil([] { return isProgramRunning(QStringLiteral("maim")); }, 10s)) {
            return false;
        }
        // Let the tool grab the pointer before the drag starts.
        KeloTest::processEventsFor(500ms);
        return drag(area.topLeft(), area.bottomRight());
    }

    bool waitForClipboard(const QString &text)
    {
        return KeloTest::waitUntil([&] { return clipboardText() == text; }, 30s);
    }

    // Opens the tray menu and clicks the item, found by its title on screen.
    bool chooseTrayItem(const QString &title)
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect menuArea(screen.right() - 400, 0, 370, 420);
        std::optional<QRect> item;
        for (int attempt = 0; attempt < 3 && !item; ++attempt) {
            if (!m_tray.openMenu()) {
                return false;
            }
            KeloTest::waitUntil([&] { return (item = findText(menuArea, title)).has_value(); }, 5s);
        }
        return item && click(item->center());
    }

    // The tray menu's lines of text, read off the screen.
    QStringList trayMenuText()
    {
        if (!m_tray.openMenu()) {
            return {};
        }
        KeloTest::processEventsFor(800ms);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        // Left of the tray, which sits in the top-right corner.
        QStringList text = textOfLightSurface(QRect(screen.right() - 400, 0, 370, 260));
        (void)pressKeys({QStringLiteral("Escape")});
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
    const auto field =
        showScene({QStringLiteral("--field"), QStringLiteral("--at"), QStringLiteral("900,600")});
    ASSERT_TRUE(field);
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    // The user works in the field's window and captures from the other one.
    ASSERT_TRUE(QProcess::execute(QStringLiteral("xdotool"),
                                  {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                   QString::number(field->window)}) == 0);
    ASSERT_TRUE(startAndWaitForShortcut());

    const QRect textArea = scene->geometry.adjusted(4, 4, -4, -4);
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(textArea));
    ASSERT_TRUE(waitForClipboard(sceneText)) << clipboardText().toStdString();

    // The panel opens next to the selection: below it when it fits.
    ASSERT_TRUE(KeloTest::waitUntil([] { return resultsPanel().has_value(); }, 10s));
    const auto panel = resultsPanel();
    EXPECT_GE(panel->top(), textArea.bottom());
    EXPECT_LE(panel->top(), textArea.bottom() + 120);

    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
    EXPECT_TRUE(KeloTest::waitUntil([] { return !resultsPanel(); }, 5s));

    // Again, and Return pastes into the window the user came from.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(textArea));
    ASSERT_TRUE(KeloTest::waitUntil([] { return resultsPanel().has_value(); }, 30s));
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
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("launched")));
    KeloTest::processEventsFor(1s);

    ASSERT_TRUE(m_tray.openMenu());
    KeloTest::processEventsFor(500ms);
    // The second item.
    ASSERT_TRUE(
        pressKeys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}));
    ASSERT_TRUE(selectRegion(scene->geometry));
    EXPECT_TRUE(waitForClipboard(payload)) << clipboardText().toStdString();
}

TEST_F(AppE2E, WithThePanelOffAToastSaysHowMuchWasCopied)
{
    m_app.presetSetting(QStringLiteral("showPanel=false"));
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(startAndWaitForShortcut());

    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(scene->geometry.adjusted(4, 4, -4, -4)));
    ASSERT_TRUE(waitForClipboard(sceneText));
    const QString expected = QStringLiteral("Copied %1 characters").arg(sceneText.size());
    EXPECT_TRUE(
        KeloTest::waitUntil([&] { return windowShows(QStringLiteral("KeloLens"), expected); }, 3s));
    EXPECT_FALSE(resultsPanel());
}

TEST_F(AppE2E, AShortcutTakenAtLaunchBringsTheAlertAndTheMenuStillCaptures)
{
    KeloTest::HelperProcess other(
        KeloTest::helperProgram(QStringLiteral("kelo-test-x-client")),
        {QStringLiteral("grab"), QString::number(keycodeOf2), QString::number(controlShift)});
    ASSERT_EQ(other.waitForLine(QStringLiteral("grabbed")), QString());
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("could not register hotkey Ctrl+Shift+2")));
    ASSERT_TRUE(KeloTest::waitUntil(
        [] {
            return windowShows(QStringLiteral("KeloLens"),
                               QStringLiteral("is already in use by another app"));
        },
        10s));
    // "Later".
    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
    KeloTest::processEventsFor(500ms);

    const QStringList menu = trayMenuText();
    ASSERT_FALSE(menu.isEmpty());
    EXPECT_EQ(menu.first().trimmed(), QStringLiteral("Capture Text"));
}

TEST_F(AppE2E, ChoosingATakenShortcutKeepsTheOldOneWorking)
{
    // Ctrl+Alt+K (X keycode 45) is held by another application.
    KeloTest::HelperProcess other(
        KeloTest::helperProgram(QStringLiteral("kelo-test-x-client")),
        {QStringLiteral("grab"), QStringLiteral("45"), QStringLiteral("12")});
    ASSERT_EQ(other.waitForLine(QStringLiteral("grabbed")), QString());
    ASSERT_TRUE(startAndWaitForShortcut());
    ASSERT_EQ(m_app.launchAgain(), 0);
    ASSERT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("General")).isEmpty(); }, 10s));
    const auto window = windowGeometry(windowsNamed(QStringLiteral("General")).last());
    ASSERT_TRUE(window);
    KeloTest::processEventsFor(500ms);
    const auto label = findText(*window, QStringLiteral("Capture shortcut"));
    ASSERT_TRUE(label);
    // The recorder sits at the right end of the shortcut's row.
    ASSERT_TRUE(click({window->right() - 110, label->center().y() + 12}));
    KeloTest::processEventsFor(300ms);
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+alt+k")}));

    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("could not register hotkey Ctrl+Alt+K")));
    EXPECT_TRUE(KeloTest::waitUntil(
        [] { return windowShows(QStringLiteral("KeloLens"), QStringLiteral("so KeloLens kept")); },
        10s));
    ASSERT_TRUE(pressKeys({QStringLiteral("Return")}));
    KeloTest::processEventsFor(500ms);

    // The old shortcut still starts a capture.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    EXPECT_TRUE(KeloTest::waitUntil([] { return isProgramRunning(QStringLiteral("maim")); }, 10s));
    (void)pressKeys({QStringLiteral("Escape")});
    KeloTest::waitUntil([] { return !isProgramRunning(QStringLiteral("maim")); }, 5s);
}

TEST_F(AppE2E, ASecondLaunchOpensTheSettingsWindowOfTheRunningOne)
{
    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("launched")));
    EXPECT_EQ(m_app.launchAgain(), 0);
    EXPECT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("General")).isEmpty(); }, 10s));
    EXPECT_TRUE(m_app.isRunning());
    const QString running =
        QString::fromUtf8([] {
            QProcess pgrep;
            pgrep.start(QStringLiteral("pgrep"),
                        {QStringLiteral("-c"), QStringLiteral("-x"), QStringLiteral("kelolens")});
            pgrep.waitForFinished();
            return pgrep.readAllStandardOutput();
        }())
            .trimmed();
    EXPECT_EQ(running, QStringLiteral("1"));
}

TEST_F(AppE2E, QuittingFromTheTrayMenuEndsTheProcess)
{
    ASSERT_TRUE(startAndWaitForShortcut());
    // A capture the user cancelled in the region tool.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(KeloTest::waitUntil([] { return isProgramRunning(QStringLiteral("maim")); }, 10s));
    // maim runs a moment before it grabs the keyboard; an Escape sent earlier goes elsewhere.
    bool cancelled = false;
    for (int attempt = 0; attempt < 5 && !cancelled; ++attempt) {
        ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
        cancelled =
            KeloTest::waitUntil([] { return !isProgramRunning(QStringLiteral("maim")); }, 1500ms);
    }
    ASSERT_TRUE(cancelled);

    ASSERT_TRUE(chooseTrayItem(QStringLiteral("Quit KeloLens")));
    EXPECT_EQ(m_app.waitForExit(10s), 0);
    EXPECT_FALSE(isProgramRunning(QStringLiteral("maim")));
}
