// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/HotKey.h"

#include "support/fakes/PlatformFakes.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using KeloPlatform::KeyChord;

namespace {

using KeloTest::FakeKeyGrabber;

void drainEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

class HotKeyDispatch : public ::testing::Test
{
protected:
    std::unique_ptr<FakeKeyGrabber> grabber = std::make_unique<FakeKeyGrabber>();
    HotKeyCenter center{*grabber};
};

} // namespace

TEST_F(HotKeyDispatch, RegistersTheKeyPositionWithLinuxModifiersAndRunsLater)
{
    int calls = 0;
    auto hotKey = center.create(HotKeyCombo::defaultCombo(), [&] { ++calls; });
    ASSERT_TRUE(hotKey);
    EXPECT_GE(hotKey->id(), 1u);
    EXPECT_EQ(hotKey->combo(), HotKeyCombo::defaultCombo());
    EXPECT_EQ(grabber->grabs.at(hotKey->id()),
              (KeyChord{3, /*control*/ true, /*alt*/ false, /*shift*/ true, /*super*/ false}));

    grabber->press(hotKey->id());
    EXPECT_EQ(calls, 0) << "the action must not run inside the window system's callback";
    drainEvents();
    EXPECT_EQ(calls, 1);
    grabber->press(hotKey->id());
    grabber->press(hotKey->id());
    drainEvents();
    EXPECT_EQ(calls, 3);

    auto everything = center.create({0, 0x1000 | 0x800 | 0x200 | 0x100}, [] {});
    ASSERT_TRUE(everything);
    EXPECT_EQ(grabber->grabs.at(everything->id()), (KeyChord{30, true, true, true, true}));

    // Keys without a counterpart here fail before reaching the window system.
    const int attempts = grabber->attempts;
    EXPECT_FALSE(center.create({52, 0}, [] {}));
    EXPECT_FALSE(center.create({65536 + 12, 0}, [] {}));
    EXPECT_EQ(grabber->attempts, attempts);
}

TEST_F(HotKeyDispatch, DestroyedHotKeyIgnoresItsPendingPress)
{
    int calls = 0;
    auto hotKey = center.create({19, 0x300}, [&] { ++calls; });
    ASSERT_TRUE(hotKey);
    const uint32_t id = hotKey->id();
    grabber->press(id);
    hotKey.reset();
    EXPECT_EQ(grabber->released, QList<uint32_t>{id});
    EXPECT_TRUE(grabber->grabs.empty());
    drainEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(HotKeyDispatch, HandlerMayDestroyItsOwnHotKey)
{
    std::unique_ptr<HotKey> selfDestroying;
    int calls = 0;
    selfDestroying = center.create({21, 0}, [&] {
        ++calls;
        selfDestroying.reset();
    });
    ASSERT_TRUE(selfDestroying);
    const uint32_t id = selfDestroying->id();
    grabber->press(id);
    grabber->press(id);
    drainEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(selfDestroying);
}

TEST(HotKeyCenter, HotKeysOutlivingTheirCenterLetGoAndStopFiring)
{
    FakeKeyGrabber grabber;
    int calls = 0;
    auto center = std::make_unique<HotKeyCenter>(grabber);
    auto orphan = center->create({20, 0x300}, [&] { ++calls; });
    ASSERT_TRUE(orphan);
    const uint32_t id = orphan->id();
    auto press = grabber.onPressed;
    center.reset();
    EXPECT_EQ(grabber.grabs.count(id), 0u) << "the center gives its grabs back";
    EXPECT_FALSE(grabber.onPressed);
    press(id);
    drainEvents();
    orphan.reset();
    EXPECT_EQ(calls, 0);
}
