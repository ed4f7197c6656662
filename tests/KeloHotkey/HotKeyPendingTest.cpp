// SPDX-License-Identifier: GPL-3.0-or-later
// HotKeys on desktops that answer a registration later (the GlobalShortcuts portal).

#include "KeloHotkey/HotKey.h"
#include "support/fakes/PlatformFakes.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

void drainEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

} // namespace

TEST(PendingHotKey, SettlesLaterAndOnlyARegisteredOneFires)
{
    KeloTest::FakeKeyGrabber grabber;
    grabber.isAsking = true;
    HotKeyCenter center(grabber);
    int presses = 0;
    auto hotKey = center.create(HotKeyCombo::defaultCombo(), [&] { ++presses; });
    ASSERT_TRUE(hotKey);
    EXPECT_TRUE(hotKey->isPending());
    std::vector<bool> settled;
    hotKey->onSettled = [&](bool isRegistered) { settled.push_back(isRegistered); };

    grabber.answer(hotKey->id(), true, QStringLiteral("Ctrl+Alt+K"));
    EXPECT_TRUE(settled.empty()) << "not inside the desktop's callback";
    drainEvents();
    EXPECT_EQ(settled, std::vector<bool>{true});
    EXPECT_EQ(hotKey->registration(), HotKey::Registration::registered);
    EXPECT_EQ(hotKey->boundTrigger(), QStringLiteral("Ctrl+Alt+K"));
    grabber.onPressed(hotKey->id());
    drainEvents();
    EXPECT_EQ(presses, 1);

    // A refusal is reported like a taken combination, and the HotKey never fires.
    auto refused = center.create({20, 0x300}, [&] { ++presses; });
    ASSERT_TRUE(refused);
    bool refusedSettled = true;
    refused->onSettled = [&](bool isRegistered) { refusedSettled = isRegistered; };
    grabber.answer(refused->id(), false);
    drainEvents();
    EXPECT_FALSE(refusedSettled);
    EXPECT_EQ(refused->registration(), HotKey::Registration::refused);
    grabber.onPressed(refused->id());
    drainEvents();
    EXPECT_EQ(presses, 1);
    const uint32_t refusedId = refused->id();
    refused.reset();
    EXPECT_EQ(grabber.released.count(refusedId), 0) << "a refused grab is not given back twice";
}

TEST(PendingHotKey, DroppedBeforeTheAnswerHearsNothing)
{
    KeloTest::FakeKeyGrabber grabber;
    grabber.isAsking = true;
    HotKeyCenter center(grabber);
    auto hotKey = center.create(HotKeyCombo::defaultCombo(), [] {});
    ASSERT_TRUE(hotKey);
    int calls = 0;
    hotKey->onSettled = [&](bool) { ++calls; };
    const uint32_t id = hotKey->id();
    hotKey.reset();
    EXPECT_EQ(grabber.released.count(id), 1) << "the question is withdrawn";
    grabber.answer(id, true);
    drainEvents();
    EXPECT_EQ(calls, 0);
}
