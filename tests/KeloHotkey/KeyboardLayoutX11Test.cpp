// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPlatform/Platform.h"
#include "support/X11Harness.h"

#include <gtest/gtest.h>

namespace {

using KeloTest::setKeyboardLayout;

class KeyboardLayoutX11 : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(setKeyboardLayout("us")); }

    KeloTest::UsLayoutRestorer m_restoreLayout;
    std::unique_ptr<KeloPlatform::Platform> m_platform =
        KeloPlatform::createPlatform(QStringLiteral("x11"));
    KeyboardLayout layout{*m_platform->keymapSource};
};

} // namespace

TEST_F(KeyboardLayoutX11, ReadsTheUsLayoutFromTheServer)
{
    EXPECT_EQ(layout.character(12), QStringLiteral("q"));
    // Keys that type control characters or nothing have no character, and no special name
    // leaves their number.
    EXPECT_EQ(layout.character(36), std::nullopt);
    EXPECT_EQ(layout.character(56), std::nullopt);
    EXPECT_EQ(layout.displayName(56), QStringLiteral("#56"));
    EXPECT_EQ(layout.displayName(200), QStringLiteral("#200"));
    // Keypad keys show their digit even with Num Lock off.
    EXPECT_EQ(layout.character(83), QStringLiteral("1"));

    EXPECT_EQ(layout.keyCode(QStringLiteral("v")), uint16_t(9));
    EXPECT_EQ(layout.keyCode(QStringLiteral("V")), uint16_t(9));
    // The main row's 1 comes before the keypad's.
    EXPECT_EQ(layout.keyCode(QStringLiteral("1")), uint16_t(18));
    EXPECT_EQ(layout.keyCode(QStringLiteral("é")), std::nullopt);
    EXPECT_EQ(layout.keyCode(QString()), std::nullopt);
}

TEST_F(KeyboardLayoutX11, FollowsALayoutSwitchOnTheNextCall)
{
    ASSERT_TRUE(setKeyboardLayout("fr"));
    // AZERTY: the Q position types a, and the 2 key types é.
    EXPECT_EQ(layout.character(12), QStringLiteral("a"));
    EXPECT_EQ(layout.displayName(19), QStringLiteral("É"));
    // The dead circumflex is named by its accent.
    EXPECT_EQ(layout.character(33), QStringLiteral("^"));
    EXPECT_EQ(layout.keyCode(QStringLiteral("é")), uint16_t(19));
    EXPECT_EQ(layout.keyCode(QStringLiteral("v")), uint16_t(9));

    ASSERT_TRUE(setKeyboardLayout("de"));
    EXPECT_EQ(layout.keyCode(QStringLiteral("y")), uint16_t(6));
    // Dvorak moves V to the period's position.
    ASSERT_TRUE(setKeyboardLayout("us", "dvorak"));
    EXPECT_EQ(layout.keyCode(QStringLiteral("v")), uint16_t(47));

    ASSERT_TRUE(setKeyboardLayout("us"));
    EXPECT_EQ(layout.character(12), QStringLiteral("q"));
}
