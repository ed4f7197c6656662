// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/CanberraSoundPlayer.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

// The test machine has no sound server: every sound fails, and the log hears of it once.
TEST(CanberraSoundPlayer, MissingSoundsOrServerStayQuiet)
{
    const KeloTest::LogCapture log;
    {
        KeloPlatform::CanberraSoundPlayer player;
        for (int i = 0; i < 5; ++i) {
            player.play(QStringLiteral("screen-capture"));
            player.play(QStringLiteral("no-such-event-sound"));
        }
        // The made-up event never plays, whatever the machine has.
        EXPECT_GE(player.failureCount(), 5);
    }
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith("KeloLens: ")) << log.lines().first().toStdString();
}
