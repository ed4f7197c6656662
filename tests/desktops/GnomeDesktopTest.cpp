// SPDX-License-Identifier: GPL-3.0-or-later
// KeloLens on GNOME Shell 43 (nested, Wayland, XWayland) with xdg-desktop-portal-gnome: the
// capture goes through the desktop's screenshot dialog, which the user drives with the mouse.
// GNOME 43 has no shortcut portal and shows no tray without an extension.

#include "DesktopFixture.h"

namespace KeloDesktops {
namespace {

const QString sample = QStringLiteral("Portal capture");
const QString withRegionTool = QStringLiteral("selectWith=desktopTool");

class OnGnome : public DesktopTest
{
protected:
    void SetUp() override { startDesktop(QStringLiteral("gnome")); }

    // The sample is short: the dialog would hide part of a longer one.
    // The screenshot portal's dialog: area selection, a drag over the sample, then Share. Its
    // header's buttons are found from "Cancel" at its left end (the dialog is 500 wide).
    bool selectSample()
    {
        const std::optional<QRect> area =
            whereScreenShows(QStringLiteral("Select area to grab"), 30s);
        const std::optional<QRect> cancel = whereScreenShows(QStringLiteral("Cancel"));
        const std::optional<QRect> text = whereScreenShows(sample);
        if (!area || !cancel || !text) {
            return false;
        }
        const QPoint takeScreenshot(cancel->left() + 400, cancel->center().y());
        if (!m_desktop->click({area->left() + 30, area->center().y()}) ||
            !m_desktop->click(takeScreenshot)) {
            return false;
        }
        KeloTest::processEventsFor(2500ms);
        if (!m_desktop->drag(text->topLeft() - QPoint(20, 15),
                             text->bottomRight() + QPoint(20, 15))) {
            return false;
        }
        // The dialog comes back asking to share; a click while it still appears may be lost.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!whereScreenShows(QStringLiteral("Share this screenshot"),
                                  attempt == 0 ? 15s : 2s)) {
                return attempt > 0;
            }
            KeloTest::processEventsFor(700ms);
            m_desktop->click({cancel->left() + 430, cancel->center().y()});
            KeloTest::processEventsFor(2s);
        }
        return !whereScreenShows(QStringLiteral("Share this screenshot"), 1s);
    }

    // Where the results panel's window is on the screen; nothing while it is not shown.
    std::optional<QRect> panelGeometry()
    {
        return windowGeometry(QStringLiteral("^KeloLens results$"));
    }

    // Where the window whose title matches is on the screen; nothing while none is shown.
    std::optional<QRect> windowGeometry(const QString &title)
    {
        const QString shell =
            m_desktop
                ->run(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                       QStringLiteral("--name"), title, QStringLiteral("getwindowgeometry"),
                       QStringLiteral("--shell")})
                .value_or(QString());
        QMap<QString, int> values;
        for (const QString &line : shell.split(u'\n', Qt::SkipEmptyParts)) {
            values.insert(line.section(u'=', 0, 0), line.section(u'=', 1).toInt());
        }
        if (!values.contains(QStringLiteral("WIDTH"))) {
            return std::nullopt;
        }
        return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                     values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
    }
};

TEST_F(OnGnome, NoShortcutServiceMeansNoFalseAlert)
{
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(logHas(QStringLiteral("platform backend portal")));
    EXPECT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s))
        << "an alert held the launch";
    EXPECT_FALSE(logHas(QStringLiteral("could not register hotkey")));
    EXPECT_FALSE(screenShows(QStringLiteral("already in use"), 2s));
    // How to bind the command instead: once in the log, and where the user looks for the
    // shortcut, the settings (a second launch opens them).
    EXPECT_EQ(m_app.log().filter(QStringLiteral("kelolens --capture")).size(), 1);
    ASSERT_EQ(m_app.launchAgain(), 0);
    EXPECT_TRUE(screenShows(QStringLiteral("Capture shortcut")));
    // The command, at the row's right end, whole: a page wider than its window cut it off.
    const QString command = comparable(QStringLiteral("kelolens --capture"));
    EXPECT_TRUE(KeloTest::waitUntil(
        [&] {
            const QImage screen = m_desktop->screenshot();
            screen.save(m_desktop->folder() + QStringLiteral("/last-screen.png"));
            const auto lines = KeloE2E::linesIn(screen);
            return std::any_of(lines.begin(), lines.end(), [&](const auto &line) {
                return comparable(line.first).endsWith(command);
            });
        },
        10s))
        << "the shortcut command is cut off";
}

TEST_F(OnGnome, ACaptureThroughTheScreenshotPortalIsOnTheClipboardForWaylandClients)
{
    auto scene = showText({sample}, true);
    ASSERT_TRUE(scene != nullptr);
    ASSERT_TRUE(startApp({QStringLiteral("showPanel=false"), withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(selectSample());
    const std::optional<QString> text = waitForClipboard(QStringLiteral("Portal"));
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains(sample)) << text->toStdString();
}

// The panel's translucent margin (its shadow) lets clicks through: one there goes to the window
// below, and the panel, no longer in front, goes.
TEST_F(OnGnome, OnlyThePanelsCardTakesClicks)
{
    // An X11 window, so that it can be moved under the margin.
    auto scene = showText({sample}, true, QStringLiteral("xcb"));
    ASSERT_TRUE(scene != nullptr);
    ASSERT_TRUE(startApp({withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(selectSample());
    ASSERT_TRUE(waitForClipboard(QStringLiteral("Portal")).has_value());
    std::optional<QRect> panel;
    ASSERT_TRUE(KeloTest::waitUntil([&] { return (panel = panelGeometry()).has_value(); }, 10s));
    ASSERT_GT(panel->width(), 100);
    // A few pixels inside the window's left edge: the shadow, not the card.
    const QPoint margin(panel->left() + 6, panel->center().y());
    ASSERT_TRUE(
        m_desktop->run(QStringLiteral("xdotool"),
                       {QStringLiteral("search"), QStringLiteral("--name"),
                        QStringLiteral("KeloLens e2e scene"), QStringLiteral("windowmove"),
                        QString::number(margin.x() - 100), QString::number(margin.y() - 60)}));
    KeloTest::processEventsFor(1s);
    ASSERT_TRUE(m_desktop->click(margin));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !panelGeometry(); }, 5s))
        << "the margin took the click";
}

// "Allow Paste…" opens the desktop's Remote Desktop dialog; the panel, above every window, steps
// aside while it is open, and comes back once the desktop has the user's answer. Allowed, the
// panel is back with the keyboard, and Return pastes the capture into the native Wayland field
// the user came from.
TEST_F(OnGnome, ThePanelStepsAsideForTheRemoteDesktopDialogAndOnceAllowedReturnPastes)
{
    auto scene = showText({sample}, true);
    ASSERT_TRUE(scene != nullptr);
    ASSERT_TRUE(startApp({withRegionTool}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(selectSample());
    ASSERT_TRUE(waitForClipboard(QStringLiteral("Portal")).has_value());
    // A click on a panel that has only just come back may be lost: while the button is still
    // there once the dialog is overdue, it is clicked again.
    const auto askToPaste = [&]() -> std::optional<QRect> {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const std::optional<QRect> allowPaste =
                whereScreenShows(QStringLiteral("Allow Paste"), attempt == 0 ? 10s : 1s);
            if (allowPaste) {
                m_desktop->click(allowPaste->center());
            } else if (attempt == 0) {
                return std::nullopt;
            }
            if (auto title = whereScreenShows(QStringLiteral("Remote desktop"), 10s)) {
                return title;
            }
        }
        return std::nullopt;
    };
    std::optional<QRect> title = askToPaste();
    ASSERT_TRUE(title.has_value()) << "no Remote Desktop dialog";
    // The dialog's header (500 wide): Cancel at its left end, its title in the middle, Share at
    // its right end, where the panel stood.
    const QRect dialog(title->center().x() - 250, title->top() - 20, 500, 300);
    KeloTest::processEventsFor(1s);
    const std::optional<QRect> panel = panelGeometry();
    EXPECT_FALSE(panel && panel->intersects(dialog)) << "the panel covers the dialog";

    // Cancelled, the dialog goes and the panel is back, still offering to allow pasting.
    ASSERT_TRUE(m_desktop->click({title->center().x() - 200, title->center().y()}));
    EXPECT_TRUE(m_app.waitForLog(QStringLiteral("the user did not allow it"), 10s));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return panelGeometry().has_value(); }, 10s))
        << "the panel did not come back";

    title = askToPaste();
    ASSERT_TRUE(title.has_value()) << "no Remote Desktop dialog the second time";
    // Its one switch, "Allow remote interaction", starts off, and Share with it.
    ASSERT_TRUE(m_desktop->click({title->center().x() + 180, title->center().y() + 52}));
    KeloTest::processEventsFor(500ms);
    ASSERT_TRUE(m_desktop->click({title->center().x() + 200, title->center().y()}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("allows pasting by key presses"), 10s));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return panelHasKeyboard(); }, 10s))
        << "the panel came back without the keyboard";
    ASSERT_TRUE(m_desktop->pressKeys(QStringLiteral("Return")));
    EXPECT_TRUE(scene->waitForLine(QStringLiteral("text ") + sample, 10s).has_value())
        << "the field holds: " << scene->lines().join(u'|').toStdString();
}

// The first capture makes the desktop ask once whether KeloLens may take screenshots at any
// time; allowed, that capture and every later one select on the still picture, without a
// question and without a picture left among the user's.
class OnGnomeWithTheAppInstalled : public OnGnome
{
protected:
    void SetUp() override
    {
        startDesktop(QStringLiteral("gnome"),
                     {QStringLiteral(KELO_TEST_BINARY_DIR
                                     "/share/applications/app.kelolens.KeloLens.desktop")});
    }

    // Clicks the button at the right end of the settings row whose state reads so: on its title
    // where it is read near the state (a state of two lines stands above the button's middle),
    // else level with the state. The settings are read alone: their small grey text is lost
    // beside the dark desktop.
    bool clickRowButton(const QString &state, const QString &button)
    {
        std::optional<QRect> window;
        std::optional<QPoint> target;
        KeloTest::waitUntil(
            [&] {
                // Qt adds the application's name to the title.
                window = windowGeometry(QStringLiteral("^General"));
                if (!window) {
                    return false;
                }
                const QImage screen = m_desktop->screenshot().copy(*window);
                const auto lines = KeloE2E::linesIn(screen);
                for (const auto &[line, row] : lines) {
                    if (!comparable(line).contains(comparable(state))) {
                        continue;
                    }
                    target = QPoint(window->width() - 87, row.center().y());
                    for (const auto &[title, box] : lines) {
                        if (comparable(title).startsWith(comparable(button)) &&
                            box.left() > row.right() &&
                            std::abs(box.center().y() - row.center().y()) < 30) {
                            target = box.center();
                        }
                    }
                    *target += window->topLeft();
                    return true;
                }
                return false;
            },
            10s);
        return target && m_desktop->click(*target);
    }

    // Answers GNOME's "Allow KeloLens to Take Screenshots?" with the keys: Deny has the focus,
    // Allow is next to it.
    bool answerTheQuestion(bool allows)
    {
        return screenShows(QStringLiteral("KeloLens to Take Screenshots?"), 20s) &&
               (!allows || m_desktop->pressKeys(QStringLiteral("Tab"))) &&
               m_desktop->pressKeys(QStringLiteral("Return"));
    }
};

// GNOME asks whether KeloLens may take screenshots at any time only of the application in front,
// so the settings put the question. Refused, the refusal is kept, and Ask Again forgets it;
// allowed, captures select on the still picture, and the desktop's picture of the screen is not
// left among the user's.
TEST_F(OnGnomeWithTheAppInstalled, OnceAllowedInTheSettingsCapturesSelectOnTheStillPicture)
{
    auto scene = showText({sample}, true);
    ASSERT_TRUE(scene != nullptr);
    const std::optional<QRect> text = whereScreenShows(sample);
    ASSERT_TRUE(text.has_value());
    ASSERT_TRUE(startApp({QStringLiteral("showPanel=false")}));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("KeloLens: launched"), 20s));
    ASSERT_EQ(m_app.launchAgain(), 0);
    const QString asks = QStringLiteral("Asked at each capture");
    const QString allow = QStringLiteral("Allow");
    ASSERT_TRUE(clickRowButton(asks, allow));
    ASSERT_TRUE(answerTheQuestion(false));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("did not let KeloLens read the screen"), 10s));
    ASSERT_TRUE(
        clickRowButton(QStringLiteral("your desktop keeps the"), QStringLiteral("Ask Again")));
    ASSERT_TRUE(clickRowButton(asks, allow)) << "Ask Again did not forget the refusal";
    ASSERT_TRUE(answerTheQuestion(true));
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("lets KeloLens read the screen now"), 10s));

    ASSERT_EQ(m_app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(m_app.waitForLog(QStringLiteral("selecting on 1 monitor(s)"), 20s));
    // Once GNOME's flash is over.
    ASSERT_TRUE(screenShows(QStringLiteral("Drag over the text or code")));
    ASSERT_TRUE(
        m_desktop->drag(text->topLeft() - QPoint(15, 12), text->bottomRight() + QPoint(15, 12)));
    // The clipboard is taken right after the picture closes, while GNOME gives the focus back.
    const std::optional<QString> copied = waitForClipboard(QStringLiteral("Portal"), 15s);
    ASSERT_TRUE(copied.has_value());
    EXPECT_TRUE(copied->contains(sample)) << copied->toStdString();
    const QString home = m_desktop->environment().value(QStringLiteral("HOME"));
    for (const QString &folder : {home, home + QStringLiteral("/Pictures")}) {
        EXPECT_TRUE(QDir(folder).entryList({QStringLiteral("Screenshot*")}).isEmpty())
            << folder.toStdString();
    }
}

} // namespace
} // namespace KeloDesktops
