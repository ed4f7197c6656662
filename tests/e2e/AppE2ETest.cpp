// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

using namespace KeloE2E;
using KeloTest::pressKeys;
using namespace std::chrono_literals;

namespace {

const QString sceneText = QStringLiteral("Meeting at noon on Friday");

// The X keycode of the 2 key and the Control+Shift mask, for another client's grab.
constexpr int keycodeOf2 = 11;
constexpr int controlShift = 0x4 | 0x1;

// The root window in one colour for the test, black again after it.
class Desktop
{
public:
    explicit Desktop(const QString &colour) { setColour(colour); }
    ~Desktop() { setColour(QStringLiteral("black")); }
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

private:
    static void setColour(const QString &colour)
    {
        QProcess::execute(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), colour});
    }
};

// A real terminal showing some lines until the test ends.
class ShownLines
{
public:
    ShownLines(const QString &program, const QStringList &options, const QStringList &lines)
        : m_program(program)
    {
        QFile text(m_folder.filePath(QStringLiteral("lines")));
        if (text.open(QIODevice::WriteOnly)) {
            text.write(lines.join(u'\n').toUtf8() + '\n');
            text.close();
        }
        m_process.start(
            program,
            options + QStringList{QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                  QStringLiteral("cat '%1'; exec sleep 120").arg(text.fileName())});
    }
    ~ShownLines()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    ShownLines(const ShownLines &) = delete;
    ShownLines &operator=(const ShownLines &) = delete;

    [[nodiscard]] bool isShown() const
    {
        const bool hasWindow = KeloTest::waitUntil(
            [this] {
                return !KeloTest::runProgram(
                            QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--classname"), QStringLiteral("^%1$").arg(m_program)})
                            .isEmpty();
            },
            30s);
        // The shell inside takes a moment to print.
        KeloTest::processEventsFor(1s);
        return hasWindow;
    }

private:
    QString m_program;
    QTemporaryDir m_folder;
    QProcess m_process;
};

class AppE2E : public AppFixture
{
protected:
    // Captures the whole screen and waits for every line on the clipboard.
    bool wholeScreenShows(const QStringList &lines)
    {
        if (!pressKeys({QStringLiteral("ctrl+shift+2")}) ||
            !selectRegion(QGuiApplication::primaryScreen()->geometry().adjusted(0, 0, -1, -1))) {
            return false;
        }
        const bool hasEveryLine = KeloTest::waitUntil(
            [&] {
                const QString copied = clipboardText();
                return std::all_of(lines.begin(), lines.end(),
                                   [&](const QString &line) { return copied.contains(line); });
            },
            30s);
        if (!hasEveryLine) {
            std::fprintf(stderr, "copied:\n%s\n", qPrintable(clipboardText()));
        }
        return hasEveryLine;
    }
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

TEST_F(AppE2E, AWholeScreenWithADarkTerminalBesideALightWindowIsReadInFull)
{
    // A real terminal in a dark theme over part of a light desktop, beside a light window.
    const Desktop desktop(QStringLiteral("#f0f0f0"));
    const QStringList lines = {QStringLiteral("$ grep -rn TODO src/ | wc -l"),
                               QStringLiteral("No warnings were found")};
    const ShownLines terminal(QStringLiteral("xterm"),
                              {QStringLiteral("-bg"), QStringLiteral("#1e1e1e"),
                               QStringLiteral("-fg"), QStringLiteral("#d4d4d4"),
                               QStringLiteral("-fa"), QStringLiteral("DejaVu Sans Mono"),
                               QStringLiteral("-fs"), QStringLiteral("11"),
                               QStringLiteral("-geometry"), QStringLiteral("60x12+1000+300")},
                              lines);
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(terminal.isShown());
    ASSERT_TRUE(startAndWaitForShortcut());
    EXPECT_TRUE(wholeScreenShows(lines + QStringList{sceneText}));
}

TEST_F(AppE2E, AWholeScreenOfRealTerminalsOnADarkDesktopIsReadInFull)
{
    // lxterminal's black beside xterm's white and its bitmap font, on a dark grey desktop: the
    // black is not far from the desktop's shade, and the window's light edges run down the whole
    // height of its rows.
    const Desktop desktop(QStringLiteral("#2e3440"));
    const QStringList blackLines = {QStringLiteral("On branch main"),
                                    QStringLiteral("nothing to commit, working tree clean")};
    const QStringList whiteLines = {QStringLiteral("/usr/local/bin"),
                                    QStringLiteral("Changes not staged for commit:")};
    const ShownLines black(QStringLiteral("lxterminal"),
                           {QStringLiteral("--no-remote"), QStringLiteral("--geometry=60x12")},
                           blackLines);
    const ShownLines white(QStringLiteral("xterm"),
                           {QStringLiteral("-geometry"), QStringLiteral("60x12+1100+500")},
                           whiteLines);
    ASSERT_TRUE(black.isShown());
    ASSERT_TRUE(white.isShown());
    ASSERT_TRUE(startAndWaitForShortcut());
    EXPECT_TRUE(wholeScreenShows(blackLines + whiteLines));
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
    // The shortcut row's label (OCR now and then misreads its first letters).
    std::optional<QRect> label = findText(*window, QStringLiteral("shortcut"));
    int rowCenter = label ? label->center().y() + 12 : 0;
    if (!label) {
        // The row below it, as a last resort.
        label = findText(*window, QStringLiteral("lect with"));
        rowCenter = label ? label->center().y() - 44 : 0;
    }
    ASSERT_TRUE(label);
    // The recorder sits at the right end of the shortcut's row.
    ASSERT_TRUE(click({window->right() - 110, rowCenter}));
    KeloTest::processEventsFor(300ms);
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+alt+k")}));

    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("could not register hotkey Ctrl+Alt+K")));
    EXPECT_TRUE(KeloTest::waitUntil(
        [] { return windowShows(QStringLiteral("KeloLens"), QStringLiteral("so KeloLens kept")); },
        10s));
    ASSERT_TRUE(pressKeys({QStringLiteral("Return")}));
    KeloTest::processEventsFor(500ms);

    // The old shortcut still starts a capture.
    EXPECT_TRUE(answersShortcut());
}

TEST_F(AppE2E, ALoginEntryLeftByAnotherCopyStartsThisOneNow)
{
    // Written by a build folder that has since gone.
    const QString entry = QDir(m_app.environment().value(QStringLiteral("XDG_CONFIG_HOME")))
                              .filePath(QStringLiteral("autostart/app.kelolens.KeloLens.desktop"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(entry).absolutePath()));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nName=KeloLens\nExec=/gone/build/kelolens\n");
    file.close();

    ASSERT_TRUE(m_app.start());
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("launched")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_FALSE(text.contains(QStringLiteral("/gone/")));
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=") +
                              QFileInfo(AppUnderTest::binary()).canonicalFilePath()))
        << text.toStdString();
}

TEST_F(AppE2E, QuittingFromTheTrayMenuEndsTheProcess)
{
    ASSERT_TRUE(startAndWaitForShortcut());
    // A capture the user cancelled.
    ASSERT_TRUE(answersShortcut());

    ASSERT_TRUE(chooseTrayItem(QStringLiteral("Quit KeloLens")));
    EXPECT_EQ(m_app.waitForExit(10s), 0);
}

TEST_F(AppE2E, SettingsComeBackUnminimizedAndSayWhatIsTrueOnX11)
{
    ASSERT_TRUE(startAndWaitForShortcut());
    ASSERT_EQ(m_app.launchAgain(), 0);
    ASSERT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("General")).isEmpty(); }, 10s));
    const quint64 window = windowsNamed(QStringLiteral("General")).last();
    const auto isShownInFront = [window] {
        const QString state = KeloTest::runProgram(
            QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
        return state.contains(QStringLiteral("IsViewable")) &&
               KeloTest::frontmostWindow() == uint32_t(window);
    };
    ASSERT_TRUE(KeloTest::waitUntil(isShownInFront, 5s));
    // Read before the window was minimized once: the server's answer is not to be trusted after.
    const auto geometry = windowGeometry(window);
    ASSERT_TRUE(geometry);

    // Openbox has no taskbar here: only KeloLens can bring the window back.
    ASSERT_TRUE(KeloTest::xdotool(
        {QStringLiteral("windowminimize"), QStringLiteral("--sync"), QString::number(window)}));
    ASSERT_FALSE(isShownInFront());
    ASSERT_EQ(m_app.launchAgain(), 0);
    EXPECT_TRUE(KeloTest::waitUntil(isShownInFront, 5s));
    ASSERT_TRUE(KeloTest::xdotool(
        {QStringLiteral("windowminimize"), QStringLiteral("--sync"), QString::number(window)}));
    ASSERT_TRUE(chooseTrayItem(QStringLiteral("Settings")));
    EXPECT_TRUE(KeloTest::waitUntil(isShownInFront, 5s));

    // X11 lets every client read the screen and send keys: nothing to ask for, no button.
    QStringList text;
    const auto shows = [&](const QString &line) {
        return KeloTest::waitUntil(
            [&] { return anyLineContains(text = textOfLightSurface(*geometry), line); }, 10s);
    };
    EXPECT_TRUE(shows(QStringLiteral("Not needed on X11"))) << text.join(u'\n').toStdString();
    EXPECT_TRUE(shows(QStringLiteral("Sends Ctrl+V through the X server")))
        << text.join(u'\n').toStdString();
    EXPECT_FALSE(anyLineContains(text, QStringLiteral("Open Settings")));
}
