// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland clipboard on a real compositor (headless sway), read back by wl-paste.

#include "KeloPlatform/wayland/WaylandClipboard.h"
#include "support/TestSupport.h"
#include "support/WaylandSession.h"

#include <QProcess>

#include <gtest/gtest.h>

using KeloPlatform::WaylandClipboard;

namespace {

class WaylandClipboardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!session.isReady()) {
            GTEST_SKIP() << session.problem().toStdString();
        }
    }

    std::unique_ptr<WaylandClipboard> connect(WaylandClipboard::Method method)
    {
        return WaylandClipboard::connect(session.runtimeFolder() + u'/' + session.display(),
                                         method);
    }

    KeloTest::WaylandSession session;
};

} // namespace

TEST_F(WaylandClipboardTest, TextReachesOtherClientsWithoutAnyWindowOfOurs)
{
    const auto clipboard = connect(WaylandClipboard::Method::automatic);
    ASSERT_TRUE(clipboard);
    EXPECT_TRUE(clipboard->usesDataControl());

    const QString text = QString::fromUtf8("Zeile 1\nligne 2 ✓ \t 日本語\n\n  ");
    ASSERT_TRUE(clipboard->writeText(QStringLiteral("first")));
    ASSERT_TRUE(clipboard->writeText(text));
    EXPECT_EQ(session.clipboardText(), text);
    EXPECT_EQ(session.clipboardText(), text) << "read twice, served twice";

    // Far more than a pipe holds: served in pieces while the event loop turns.
    const QString large = QString(u'x').repeated(300 * 1024) + QStringLiteral("end");
    ASSERT_TRUE(clipboard->writeText(large));
    EXPECT_EQ(session.clipboardText(), large);

    // Another application takes the clipboard; the next capture takes it back.
    QProcess copy;
    copy.setProcessEnvironment(session.environment());
    copy.start(QStringLiteral("wl-copy"), {QStringLiteral("from another app")});
    ASSERT_TRUE(KeloTest::waitUntil([&] { return copy.state() == QProcess::NotRunning; }));
    ASSERT_TRUE(KeloTest::waitUntil(
        [&] { return session.clipboardText() == QStringLiteral("from another app"); }));
    ASSERT_TRUE(clipboard->writeText(QStringLiteral("ours again")));
    EXPECT_EQ(session.clipboardText(), QStringLiteral("ours again"));
}

TEST_F(WaylandClipboardTest, WithoutAFocusableSurfaceTheWriteFailsInsteadOfVanishing)
{
    const auto ours = connect(WaylandClipboard::Method::automatic);
    ASSERT_TRUE(ours);
    ASSERT_TRUE(ours->writeText(QStringLiteral("kept")));
    // The headless seat has no keyboard, so no surface of ours can get the focus a plain
    // client needs to set the clipboard: the write must say it failed.
    const auto focused = connect(WaylandClipboard::Method::focusedSurface);
    ASSERT_TRUE(focused);
    EXPECT_FALSE(focused->usesDataControl());
    EXPECT_FALSE(focused->writeText(QStringLiteral("lost")));
    EXPECT_EQ(session.clipboardText(), QStringLiteral("kept"));
}

TEST_F(WaylandClipboardTest, WithoutDataControlAShortLivedSurfaceTakesTheFocusToSetIt)
{
    // GNOME offers no data control: a surface of ours takes the keyboard focus for a moment.
    ASSERT_TRUE(session.addKeyboard());
    const auto clipboard = connect(WaylandClipboard::Method::focusedSurface);
    ASSERT_TRUE(clipboard);
    const QString text = QString::fromUtf8("über den Fokus ✓");
    ASSERT_TRUE(clipboard->writeText(text));
    EXPECT_EQ(session.clipboardText(), text);
    // The surface is gone again: nothing of ours is left on the screen.
    const QString windows = session.swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")});
    ASSERT_TRUE(windows.contains(QStringLiteral("HEADLESS-1"))) << windows.toStdString();
    EXPECT_FALSE(windows.contains(QStringLiteral("app.kelolens.KeloLens")))
        << windows.toStdString();
}
