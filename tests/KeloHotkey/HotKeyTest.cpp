#include "KeloHotkey/HotKey.h"
#include "KeloPlatform/KeyGrabber.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <map>
#include <vector>

using KeloPlatform::KeyChord;

namespace {

// Stands in for the window system: grabs succeed unless refused, presses are delivered on demand
// from inside "event processing", as the X11 event filter does.
class FakeGrabber final : public KeloPlatform::KeyGrabber
{
public:
    bool grab(uint32_t id, const KeyChord &chord) override
    {
        attempts.push_back(id);
        if (refused && *refused == chord) {
            return false;
        }
        grabs[id] = chord;
        return true;
    }
    void release(uint32_t id) override
    {
        grabs.erase(id);
        released.push_back(id);
    }
    void press(uint32_t id) { onPressed(id); }

    std::optional<KeyChord> refused;
    std::map<uint32_t, KeyChord> grabs;
    std::vector<uint32_t> attempts;
    std::vector<uint32_t> released;
};

void drainEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

class HotKeyDispatch : public ::testing::Test
{
protected:
    std::unique_ptr<FakeGrabber> grabber = std::make_unique<FakeGrabber>();
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
}

TEST_F(HotKeyDispatch, FailedRegistrationsConsumeTheirNumber)
{
    auto first = center.create({12, HotKeyCombo::command}, [] {});
    ASSERT_TRUE(first);
    const uint32_t firstId = first->id();

    grabber->refused = KeyChord{16, true, false, false, false};
    int calls = 0;
    EXPECT_FALSE(center.create({12, HotKeyCombo::command}, [&] { ++calls; }));
    // Keys without a counterpart here fail before reaching the window system.
    EXPECT_FALSE(center.create({52, 0}, [&] { ++calls; }));
    EXPECT_FALSE(center.create({65536 + 12, 0}, [&] { ++calls; }));
    EXPECT_EQ(grabber->attempts, (std::vector<uint32_t>{firstId, firstId + 1}));

    auto next = center.create({13, HotKeyCombo::command}, [] {});
    ASSERT_TRUE(next);
    EXPECT_EQ(next->id(), firstId + 4);

    // A press reported for a failed registration's number reaches nothing.
    grabber->press(firstId + 1);
    drainEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(HotKeyDispatch, DestroyedHotKeyIgnoresItsPendingPress)
{
    int calls = 0;
    auto hotKey = center.create({19, 0x300}, [&] { ++calls; });
    ASSERT_TRUE(hotKey);
    const uint32_t id = hotKey->id();
    grabber->press(id);
    hotKey.reset();
    EXPECT_EQ(grabber->released, (std::vector<uint32_t>{id}));
    EXPECT_TRUE(grabber->grabs.empty());
    drainEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(HotKeyDispatch, HandlerMayReplaceOrDestroyItsOwnHotKey)
{
    std::unique_ptr<HotKey> current;
    int oldCalls = 0;
    int newCalls = 0;
    current = center.create({19, 0x300}, [&] {
        ++oldCalls;
        // Create the replacement first, then drop the running handler's own HotKey.
        auto replacement = center.create({20, 0x300}, [&] { ++newCalls; });
        ASSERT_TRUE(replacement);
        current = std::move(replacement);
    });
    ASSERT_TRUE(current);
    const uint32_t oldId = current->id();
    grabber->press(oldId);
    drainEvents();
    ASSERT_TRUE(current);
    EXPECT_EQ(oldCalls, 1);
    EXPECT_NE(current->id(), oldId);
    EXPECT_EQ(current->combo(), (HotKeyCombo{20, 0x300}));
    EXPECT_EQ(grabber->grabs.count(oldId), 0u);

    grabber->press(oldId);
    grabber->press(current->id());
    drainEvents();
    EXPECT_EQ(oldCalls, 1);
    EXPECT_EQ(newCalls, 1);

    // A handler that destroys itself.
    std::unique_ptr<HotKey> selfDestroying;
    int selfCalls = 0;
    selfDestroying = center.create({21, 0}, [&] {
        ++selfCalls;
        selfDestroying.reset();
    });
    ASSERT_TRUE(selfDestroying);
    const uint32_t selfId = selfDestroying->id();
    grabber->press(selfId);
    grabber->press(selfId);
    drainEvents();
    EXPECT_EQ(selfCalls, 1);
    EXPECT_FALSE(selfDestroying);
}

TEST_F(HotKeyDispatch, TwoLiveHotKeysKeepTheirOwnActions)
{
    std::vector<int> log;
    auto a = center.create({0, HotKeyCombo::command}, [&] { log.push_back(1); });
    auto b = center.create({1, HotKeyCombo::command}, [&] { log.push_back(2); });
    ASSERT_TRUE(a && b);
    grabber->press(b->id());
    grabber->press(a->id());
    drainEvents();
    EXPECT_EQ(log, (std::vector<int>{2, 1}));
}

TEST(HotKeyCenter, HotKeysOutlivingTheirCenterLetGoAndStopFiring)
{
    FakeGrabber grabber;
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
