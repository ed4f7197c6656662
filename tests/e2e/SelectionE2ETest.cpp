// SPDX-License-Identifier: GPL-3.0-or-later
// The selection on a still picture of the screen, as a user meets it: dragged from any corner, on
// monitors of different scales, and ended by the things that happen meanwhile (a second request,
// a monitor unplugged, the app told to quit).
#include "AppFixture.h"

#include <QFile>

#include <csignal>

using namespace KeloE2E;
using KeloTest::pressKeys;

namespace {

const QString sceneText = QStringLiteral("Meeting at noon on Friday");

// A toast or the results panel: windows of the app other than the selection's.
bool isAnythingShown()
{
    return resultsPanel().has_value() ||
           !KeloTest::runProgram(QStringLiteral("xdotool"),
                                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                  QStringLiteral("--name"), QStringLiteral("^KeloLens$")})
                .trimmed()
                .isEmpty();
}

class SelectionE2E : public AppFixture
{
};

// An X server of its own split into two RandR monitors: on the left a 3840 x 2160 one, to its
// right the primary 1920 x 1080 one. openbox keeps a connection open, without which the server
// would reset (and forget the monitors) whenever the last client leaves.
class TwoMonitors
{
public:
    TwoMonitors()
    {
        int number = 170;
        while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
               QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) {
            ++number;
        }
        display = QStringLiteral(":%1").arg(number);
        m_server.start(QStringLiteral("Xvfb"),
                       {display, QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("5760x2160x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("+extension"),
                        QStringLiteral("XTEST")});
        if (!KeloTest::waitUntil(
                [&] { return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)); },
                10s)) {
            return;
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        m_windowManager.setProcessEnvironment(environment);
        m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        KeloTest::processEventsFor(500ms);
        // A light desktop around the windows, as most are; the recognizer takes a mostly black
        // picture for light text on dark.
        QProcess background;
        background.setProcessEnvironment(environment);
        background.start(QStringLiteral("xsetroot"),
                         {QStringLiteral("-solid"), QStringLiteral("white")});
        background.waitForFinished(5000);
        isReady = xrandr({QStringLiteral("--setmonitor"), QStringLiteral("Left"),
                          QStringLiteral("3840/600x2160/340+0+0"), QStringLiteral("screen")}) &&
                  xrandr({QStringLiteral("--setmonitor"), QStringLiteral("*Right"),
                          QStringLiteral("1920/510x1080/290+3840+0"), QStringLiteral("none")});
    }
    ~TwoMonitors()
    {
        for (QProcess *process : {&m_windowManager, &m_server}) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    bool xrandr(const QStringList &arguments) const
    {
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        run.setProcessEnvironment(environment);
        run.start(QStringLiteral("xrandr"), arguments);
        return run.waitForFinished(5000) && run.exitCode() == 0;
    }

    QString display;
    bool isReady = false;

private:
    QProcess m_server;
    QProcess m_windowManager;
};

} // namespace

TEST_F(SelectionE2E, ADragFromTheBottomRightOpensThePanelBesideTheSelectionNotOverIt)
{
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(startAndWaitForShortcut());

    const QRect textArea = scene->geometry.adjusted(4, 4, -4, -4);
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(textArea, Qt::BottomRightCorner));
    ASSERT_TRUE(waitForClipboard(sceneText)) << clipboardText().toStdString();

    ASSERT_TRUE(KeloTest::waitUntil([] { return resultsPanel().has_value(); }, 10s));
    const QRect panel = *resultsPanel();
    EXPECT_FALSE(panel.intersects(textArea));
    EXPECT_GE(panel.top(), textArea.bottom());
    EXPECT_LE(panel.top(), textArea.bottom() + 120);
    // Nothing of the screen went to disk on the way (the fixture checks the captures folder).
    EXPECT_FALSE(QDir(m_app.capturesFolder()).exists());
}

TEST_F(SelectionE2E, WhileSelectingASecondRequestStartsNothingAndQuittingLeavesNothing)
{
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(startAndWaitForShortcut());
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(KeloTest::waitUntil([this] { return isSelecting(); }, 10s));
    const QString before = clipboardText();

    // The shortcut again, and a launch asking for a capture: the one selection stays.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    KeloTest::processEventsFor(500ms);
    EXPECT_EQ(m_app.log().filter(QStringLiteral("selecting on")).size(), 1);
    EXPECT_EQ(windowsNamed(QStringLiteral("KeloLens selection")).size(), 1);

    // Escape: a silent cancel.
    ASSERT_TRUE(cancelSelection());
    KeloTest::processEventsFor(500ms);
    EXPECT_FALSE(isAnythingShown());
    EXPECT_EQ(clipboardText(), before);

    // Told to quit while selecting, it closes the selection and ends.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(KeloTest::waitUntil([this] { return isSelecting(); }, 10s));
    ASSERT_EQ(::kill(pid_t(m_app.processId()), SIGTERM), 0);
    EXPECT_EQ(m_app.waitForExit(10s), 0);
    EXPECT_FALSE(isSelecting());
}

TEST(SelectionE2ETwoMonitors, OnMixedScalesTheTextUnderTheDragIsReadAndUnpluggingCancels)
{
    TwoMonitors monitors;
    ASSERT_TRUE(monitors.isReady);
    // Every xdotool, xclip and helper from here on talks to that server.
    const KeloTest::ScopedEnvironment display("DISPLAY", monitors.display.toUtf8());

    AppUnderTest app;
    app.presetSetting(QStringLiteral("hasCompletedOnboarding=true"));
    QProcessEnvironment environment = app.environment();
    environment.insert(QStringLiteral("DISPLAY"), monitors.display);
    environment.insert(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), QStringLiteral("Left=2;Right=1"));
    app.setEnvironment(environment);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.waitForLog(QStringLiteral("launched")));

    // One line near the right edge of the left monitor, one near the left edge of the right one,
    // placed in server pixels.
    const QString leftText = QStringLiteral("Invoice 2417 is due");
    const QString rightText = QStringLiteral("Call Dana at noon");
    const auto left = showScene(
        {QStringLiteral("--text"), leftText, QStringLiteral("--at"), QStringLiteral("3200,400")});
    const auto right = showScene(
        {QStringLiteral("--text"), rightText, QStringLiteral("--at"), QStringLiteral("3900,150")});
    ASSERT_TRUE(left && right);
    // Starts a capture the way a desktop shortcut would and waits for the selection on both.
    qsizetype selections = 0;
    const auto startCapture = [&] {
        const auto shown = [&] {
            return app.log().filter(QStringLiteral("selecting on 2")).size();
        };
        if (app.launchAgain({QStringLiteral("--capture")}) != 0 ||
            !KeloTest::waitUntil([&] { return shown() > selections; }, 10s)) {
            return false;
        }
        selections = shown();
        KeloTest::processEventsFor(300ms);
        return true;
    };

    // Within the left monitor, at scale 2: its line alone.
    const QRect leftArea = left->geometry.adjusted(4, 4, -4, -4);
    ASSERT_TRUE(startCapture());
    ASSERT_TRUE(drag(leftArea.topLeft(), leftArea.bottomRight()));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return clipboardText() == leftText; }, 30s))
        << clipboardText().toStdString();
    (void)pressKeys({QStringLiteral("Escape")});

    // Across both monitors: both lines, and nothing of the band between them that no monitor
    // shows in the app's coordinates. There the left monitor's rows count half, so a drag from
    // its server row 300 (the app's 150) to row 300 of the right one selects the app's rows 150
    // to 300: server rows 300 to 600 on the left (its line), 150 to 300 on the right (its line).
    ASSERT_TRUE(startCapture());
    ASSERT_TRUE(drag({leftArea.left(), 300}, {right->geometry.right() - 4, 300}));
    EXPECT_TRUE(KeloTest::waitUntil(
        [&] {
            const QString text = clipboardText();
            return text.contains(leftText) && text.contains(rightText);
        },
        30s))
        << clipboardText().toStdString();
    (void)pressKeys({QStringLiteral("Escape")});

    // A monitor unplugged while selecting: the selection closes without a word.
    ASSERT_TRUE(startCapture());
    ASSERT_TRUE(monitors.xrandr({QStringLiteral("--delmonitor"), QStringLiteral("Right")}));
    EXPECT_TRUE(KeloTest::waitUntil(
        [] { return windowsNamed(QStringLiteral("KeloLens selection")).isEmpty(); }, 5s));
    KeloTest::processEventsFor(500ms);
    EXPECT_FALSE(isAnythingShown());
    EXPECT_TRUE(app.isRunning());
    app.stop();
    if (HasFailure()) {
        std::fprintf(stderr, "kelolens said:\n%s\n", qPrintable(app.log().join(u'\n')));
    }
}
