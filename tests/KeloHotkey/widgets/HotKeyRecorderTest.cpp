// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/widgets/HotKeyRecorder.h"

#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/null/NullServices.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

constexpr uint32_t command = HotKeyCombo::command;
constexpr uint32_t shift = HotKeyCombo::shift;

// Mac key positions used below.
constexpr uint16_t keyA = 0;
constexpr uint16_t keyC = 8;
constexpr uint16_t escape = 53;
constexpr uint16_t leftShift = 56;

// A recorder in a window next to a text field that holds the keyboard focus.
class HotKeyRecorderTest : public ::testing::Test
{
protected:
    HotKeyRecorderTest()
    {
        auto *layout = new QVBoxLayout(&window);
        recorder = new HotKeyRecorder(KeyboardLayout(keymap), HotKeyCombo::defaultCombo());
        field = new QLineEdit;
        layout->addWidget(recorder);
        layout->addWidget(field);
        window.show();
        field->setFocus();
    }

    // A key press as the X server delivers it: the scan code is the X keycode of the key.
    void press(uint16_t macKeyCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               Qt::Key key = Qt::Key_unknown)
    {
        const quint32 scanCode =
            *KeloPlatform::evdevCodeForMacKeyCode(macKeyCode) + KeloPlatform::xKeycodeOffset;
        QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, QStringLiteral("x"));
        QApplication::sendEvent(field, &event);
    }

    KeloPlatform::NullKeymapSource keymap;
    QWidget window;
    HotKeyRecorder *recorder = nullptr;
    QLineEdit *field = nullptr;
};

} // namespace

TEST_F(HotKeyRecorderTest, EscapeCancelsWithAnyModifiers)
{
    QSignalSpy edited(recorder, &HotKeyRecorder::comboEdited);
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::ControlModifier | Qt::ShiftModifier}) {
        recorder->startRecording();
        press(escape, modifiers);
        EXPECT_FALSE(recorder->isRecording());
    }
    EXPECT_EQ(edited.count(), 0);
    EXPECT_EQ(recorder->combo(), HotKeyCombo::defaultCombo());
}

TEST_F(HotKeyRecorderTest, RefusesShortcutsWithoutAUsefulModifier)
{
    QSignalSpy refused(recorder, &HotKeyRecorder::shortcutRefused);
    QSignalSpy edited(recorder, &HotKeyRecorder::comboEdited);
    recorder->startRecording();
    // A modifier pressed on its own is no attempt at all.
    press(leftShift, Qt::ShiftModifier, Qt::Key_Shift);
    press(keyA);
    press(keyA, Qt::ShiftModifier);
    // Keypad and group flags are no modifiers either.
    press(keyA, Qt::KeypadModifier);
    // C, V, X, Q, W, Tab and Space with Ctrl alone.
    for (const uint16_t reserved : {8, 9, 7, 12, 13, 48, 49}) {
        press(reserved, Qt::ControlModifier);
    }
    EXPECT_EQ(refused.count(), 10);
    EXPECT_EQ(edited.count(), 0);
    EXPECT_TRUE(recorder->isRecording());

    // With Shift as well, Ctrl+C is a shortcut like any other.
    press(keyC, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(recorder->combo(), (HotKeyCombo{keyC, command | shift}));
    EXPECT_FALSE(recorder->isRecording());
}

TEST_F(HotKeyRecorderTest, AcceptsAltOrSuperWithALetter)
{
    QSignalSpy edited(recorder, &HotKeyRecorder::comboEdited);
    recorder->startRecording();
    press(keyA, Qt::AltModifier);
    recorder->startRecording();
    press(keyA, Qt::MetaModifier);
    ASSERT_EQ(edited.count(), 2);
    EXPECT_EQ(edited.at(0).at(0).value<HotKeyCombo>(), (HotKeyCombo{keyA, HotKeyCombo::option}));
    EXPECT_EQ(edited.at(1).at(0).value<HotKeyCombo>(), (HotKeyCombo{keyA, HotKeyCombo::control}));
}

TEST_F(HotKeyRecorderTest, SwallowsEveryKeyPressAndShortcutWhileRecording)
{
    int shortcutCount = 0;
    auto *close = new QAction(&window);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    window.addAction(close);
    QObject::connect(close, &QAction::triggered, [&shortcutCount] { ++shortcutCount; });
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();

    recorder->startRecording();
    QTest::keyClicks(field, QStringLiteral("ab"));
    QTest::keyClick(field, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(shortcutCount, 0);

    recorder->stopRecording();
    QTest::keyClicks(field, QStringLiteral("ab"));
    QTest::keyClick(field, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "ab");
    EXPECT_EQ(shortcutCount, 1);
}
