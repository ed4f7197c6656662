// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include <gtest/gtest.h>

// Every test binary gets a QApplication: rendering fixtures with QPainter, clipboard and timers
// all need one. Unit tests run it on the offscreen platform, X11 tests under Xvfb.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
