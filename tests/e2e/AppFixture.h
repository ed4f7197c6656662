// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppUnderTest.h"
#include "Desktop.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>
#include <gtest/gtest.h>

// What the end-to-end tests share: a returning user's kelolens next to a system tray, driven with
// the keyboard, the mouse and the tray menu, and read back from the screen and the clipboard.
namespace KeloE2E {

using namespace std::chrono_literals;

inline std::optional<QRect> resultsPanel()
{
    const QList<quint64> windows = windowsNamed(QStringLiteral("KeloLens results"));
    return windows.isEmpty() ? std::nullopt : windowGeometry(windows.last());
}

inline bool anyLineContains(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines) {
        if (line.contains(text)) {
            return true;
        }
    }
    return false;
}

// Whether one of the windows with this title shows the text.
inline bool windowShows(const QString &title, const QString &text)
{
    for (const quint64 window : windowsNamed(title)) {
        const auto geometry = windowGeometry(window);
        if (geometry && anyLineContains(textOnScreen(*geometry), text)) {
            return true;
        }
    }
    return false;
}

// Whether a toast (or any window of the app) shows the text within a few seconds.
inline bool toastShows(const QString &text)
{
    return KeloTest::waitUntil([&] { return windowShows(QStringLiteral("KeloLens"), text); }, 5s);
}

class AppFixture : public ::testing::Test
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

    // From now on the app selects with the desktop's region tool (maim) instead of its own
    // windows; call before the start.
    void useRegionTool()
    {
        m_app.presetSetting(QStringLiteral("selectWith=desktopTool"));
        m_usesRegionTool = true;
    }

    [[nodiscard]] bool isRegionToolRunning() const
    {
        return m_app.child(QStringLiteral("maim")).has_value();
    }

    // Whether the selection is up: the app's windows over the screen, or its region tool.
    [[nodiscard]] bool isSelecting() const
    {
        return m_usesRegionTool ? isRegionToolRunning()
                                : !windowsNamed(QStringLiteral("KeloLens selection")).isEmpty();
    }

    // Waits for the selection, then drags over the rectangle from `from`'s corner to the
    // opposite one (top-left to bottom-right unless told otherwise).
    bool selectRegion(const QRect &area, Qt::Corner from = Qt::TopLeftCorner)
    {
        if (!KeloTest::waitUntil([this] { return isSelecting(); }, 10s)) {
            return false;
        }
        // Let the tool grab the pointer before the drag starts.
        KeloTest::processEventsFor(m_usesRegionTool ? 500ms : 200ms);
        const QPoint corners[] = {area.topLeft(), area.topRight(), area.bottomLeft(),
                                  area.bottomRight()};
        return drag(corners[from], corners[3 - from]);
    }

    // Escape in the running selection, as the user cancels it.
    bool cancelSelection()
    {
        // maim runs a moment before it grabs the keyboard; an Escape sent earlier goes elsewhere.
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (!KeloTest::pressKeys({QStringLiteral("Escape")})) {
                return false;
            }
            if (KeloTest::waitUntil([this] { return !isSelecting(); }, 1500ms)) {
                return true;
            }
        }
        return false;
    }

    // The shortcut starts a selection, which the user then cancels.
    bool answersShortcut()
    {
        return KeloTest::pressKeys({QStringLiteral("ctrl+shift+2")}) &&
               KeloTest::waitUntil([this] { return isSelecting(); }, 10s) && cancelSelection();
    }

    static bool waitForClipboard(const QString &text)
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
        (void)KeloTest::pressKeys({QStringLiteral("Escape")});
        return text;
    }

    Tray m_tray;
    AppUnderTest m_app;
    bool m_usesRegionTool = false;
};

} // namespace KeloE2E
