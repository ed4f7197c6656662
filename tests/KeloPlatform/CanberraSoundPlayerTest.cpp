// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/CanberraSoundPlayer.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

QStringList *capturedLines = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (capturedLines != nullptr) {
        capturedLines->append(message);
    }
}

} // namespace

// The test machine has no sound server: every sound fails, and the log hears of it once.
TEST(CanberraSoundPlayer, MissingSoundsOrServerStayQuiet)
{
    QStringList lines;
    capturedLines = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    {
        KeloPlatform::CanberraSoundPlayer player;
        for (int i = 0; i < 5; ++i) {
            player.play(QStringLiteral("screen-capture"));
            player.play(QStringLiteral("no-such-event-sound"));
        }
        // The made-up event never plays, whatever the machine has.
        EXPECT_GE(player.failureCount(), 5);
    }
    qInstallMessageHandler(previous);
    capturedLines = nullptr;
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().startsWith("KeloLens: ")) << lines.first().toStdString();
}
