// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/HotKey.h"
#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPlatform/Platform.h"
#include "support/HelperProcess.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// Xvfb's evdev keymap: the 2 key is X keycode 11 (evdev 3 + 8); Num Lock is Mod2.
constexpr int keycodeOf2 = 11;
constexpr int controlShift = 0x4 | 0x1;
constexpr int lockMask = 0x2;
constexpr int numLockMask = 0x10;

void pressKeys(const QStringList &keys)
{
    ASSERT_TRUE(KeloTest::pressKeys(keys));
}

int modifierState()
{
    bool isNumber = false;
    const int state = KeloTest::runProgram(KeloTest::helperProgram("kelo-test-x-client"), {"state"})
                          .trimmed()
                          .toInt(&isNumber);
    EXPECT_TRUE(isNumber);
    return state;
}

// Another X client holding a key grab until it is dropped.
class OtherClientGrab
{
public:
    OtherClientGrab(int keycode, int modifiers)
        : m_client(KeloTest::helperProgram("kelo-test-x-client"),
                   {"grab", QString::number(keycode), QString::number(modifiers)}),
          m_answer(m_client.waitForLine({}).value_or(QString()))
    {
    }
    [[nodiscard]] bool isHeld() const { return m_answer == QStringLiteral("grabbed"); }
    [[nodiscard]] const QString &answer() const { return m_answer; }

private:
    KeloTest::HelperProcess m_client;
    QString m_answer;
};

bool canOtherClientGrab(int keycode, int modifiers)
{
    const OtherClientGrab grab(keycode, modifiers);
    EXPECT_TRUE(grab.isHeld() || grab.answer() == QStringLiteral("busy"))
        << grab.answer().toStdString();
    return grab.isHeld();
}

class HotKeyX11 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(KeloTest::setKeyboardLayout("us"));
        restoreLocks();
        // Presses are delivered in order: once the sentinel's action has run, every earlier
        // press has been dispatched too, so "nothing happened" can be checked without sleeping.
        m_sentinel = m_center.create({25, 0x300}, [this] { ++m_sentinelCalls; });
        ASSERT_TRUE(m_sentinel) << "Ctrl+Shift+9 must be free on the test server";
    }
    void TearDown() override { restoreLocks(); }

    static void restoreLocks()
    {
        const int state = modifierState();
        if ((state & lockMask) != 0) {
            pressKeys({QStringLiteral("Caps_Lock")});
        }
        if ((state & numLockMask) != 0) {
            pressKeys({QStringLiteral("Num_Lock")});
        }
    }

    // Presses the sentinel and waits until every press before it has been handled.
    void settle()
    {
        const int expected = m_sentinelCalls + 1;
        pressKeys({QStringLiteral("ctrl+shift+9")});
        ASSERT_TRUE(KeloTest::waitUntil([&] { return m_sentinelCalls == expected; }));
    }

    KeloTest::UsLayoutRestorer m_restoreLayout;
    std::unique_ptr<KeloPlatform::Platform> m_platform =
        KeloPlatform::createPlatform(QStringLiteral("x11"));
    HotKeyCenter m_center{*m_platform->keyGrabber};
    std::unique_ptr<HotKey> m_sentinel;
    int m_sentinelCalls = 0;
};

} // namespace

TEST_F(HotKeyX11, FiresOncePerPressOnTheMainThreadWhateverTheLocks)
{
    int calls = 0;
    bool isOnMainThread = true;
    auto hotKey = m_center.create(HotKeyCombo::defaultCombo(), [&] {
        ++calls;
        isOnMainThread = isOnMainThread && QThread::currentThread() == qApp->thread();
    });
    ASSERT_TRUE(hotKey);

    pressKeys({QStringLiteral("ctrl+shift+2"), QStringLiteral("ctrl+shift+2")});
    settle();
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(isOnMainThread);

    // Other modifiers or another key are not the shortcut.
    pressKeys({QStringLiteral("ctrl+2"), QStringLiteral("shift+2"), QStringLiteral("ctrl+shift+3"),
               QStringLiteral("ctrl+alt+shift+2"), QStringLiteral("2")});
    settle();
    EXPECT_EQ(calls, 2);

    pressKeys({QStringLiteral("Num_Lock")});
    ASSERT_NE(modifierState() & numLockMask, 0) << "Num Lock is expected on Mod2 under Xvfb";
    pressKeys({QStringLiteral("ctrl+shift+2")});
    settle();
    EXPECT_EQ(calls, 3);

    pressKeys({QStringLiteral("Caps_Lock")});
    ASSERT_NE(modifierState() & lockMask, 0);
    pressKeys({QStringLiteral("ctrl+shift+2")});
    settle();
    EXPECT_EQ(calls, 4);

    pressKeys({QStringLiteral("Num_Lock")});
    ASSERT_EQ(modifierState() & numLockMask, 0);
    pressKeys({QStringLiteral("ctrl+shift+2")});
    settle();
    EXPECT_EQ(calls, 5);
}

TEST_F(HotKeyX11, HoldingTheShortcutIsOnePressEvenWhenItsHandlerReRegistersIt)
{
    // The event loop keeps turning while the key is held, so each repeat is handled as it
    // comes, after the handler of the first press has run.
    const auto hold = [] {
        (void)KeloTest::runProgram(QStringLiteral("xdotool"),
                                   {QStringLiteral("keydown"), QStringLiteral("ctrl+shift+2"),
                                    QStringLiteral("sleep"), QStringLiteral("1.5"),
                                    QStringLiteral("keyup"), QStringLiteral("ctrl+shift+2")});
    };
    int calls = 0;
    auto hotKey = m_center.create(HotKeyCombo::defaultCombo(), [&] { ++calls; });
    ASSERT_TRUE(hotKey);
    hold();
    settle();
    EXPECT_EQ(calls, 1);

    // As when the shortcut is set again while it fires: the registration is dropped and made
    // anew for the same key, which is still held and repeating.
    int replacements = 0;
    std::function<void()> reRegister = [&] {
        ++replacements;
        hotKey.reset();
        hotKey = m_center.create(HotKeyCombo::defaultCombo(), reRegister);
    };
    hotKey.reset();
    hotKey = m_center.create(HotKeyCombo::defaultCombo(), reRegister);
    ASSERT_TRUE(hotKey);
    hold();
    settle();
    EXPECT_EQ(replacements, 1);
    ASSERT_TRUE(hotKey);
    pressKeys({QStringLiteral("ctrl+shift+2")});
    settle();
    EXPECT_EQ(replacements, 2);
}

TEST_F(HotKeyX11, ShortcutHeldByAnotherClientFailsAndStaysTheirs)
{
    {
        const OtherClientGrab other(keycodeOf2, controlShift);
        ASSERT_TRUE(other.isHeld());
        int calls = 0;
        EXPECT_FALSE(m_center.create(HotKeyCombo::defaultCombo(), [&] { ++calls; }));
        pressKeys({QStringLiteral("ctrl+shift+2")});
        settle();
        EXPECT_EQ(calls, 0);
    }
    {
        // Only the Num Lock variant is taken: the variants grabbed before the failure must be
        // given back, or the shortcut would be half ours and half theirs.
        const OtherClientGrab other(keycodeOf2, controlShift | numLockMask);
        ASSERT_TRUE(other.isHeld());
        EXPECT_FALSE(m_center.create(HotKeyCombo::defaultCombo(), [] {}));
        EXPECT_TRUE(canOtherClientGrab(keycodeOf2, controlShift));
        EXPECT_TRUE(canOtherClientGrab(keycodeOf2, controlShift | lockMask));
    }
}

TEST_F(HotKeyX11, DestroyingReleasesEveryVariantOfTheGrab)
{
    auto hotKey = m_center.create(HotKeyCombo::defaultCombo(), [] {});
    ASSERT_TRUE(hotKey);
    for (int locks : {0, lockMask, numLockMask, lockMask | numLockMask}) {
        EXPECT_FALSE(canOtherClientGrab(keycodeOf2, controlShift | locks)) << locks;
    }
    // One combination is registered once per process, as on other platforms.
    EXPECT_FALSE(m_center.create(HotKeyCombo::defaultCombo(), [] {}));

    hotKey.reset();
    for (int locks : {0, lockMask, numLockMask, lockMask | numLockMask}) {
        EXPECT_TRUE(canOtherClientGrab(keycodeOf2, controlShift | locks)) << locks;
    }
    auto again = m_center.create(HotKeyCombo::defaultCombo(), [] {});
    EXPECT_TRUE(again);
}

TEST_F(HotKeyX11, ShortcutIsAKeyPositionWhateverTheLayout)
{
    ASSERT_TRUE(KeloTest::setKeyboardLayout("fr"));
    int calls = 0;
    auto hotKey = m_center.create(HotKeyCombo::defaultCombo(), [&] { ++calls; });
    ASSERT_TRUE(hotKey);
    EXPECT_EQ(hotKey->combo().displayString(KeyboardLayout(*m_platform->keymapSource)),
              QStringLiteral("Ctrl+Shift+É"));
    // On AZERTY the key at the 2 position types é.
    pressKeys({QStringLiteral("ctrl+shift+eacute")});
    settle();
    EXPECT_EQ(calls, 1);
}
