// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Selection/SelectionState.h"

#include <gtest/gtest.h>

using Outcome = SelectionState::Outcome;

namespace {

const QList<QRectF> twoMonitors{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};

} // namespace

TEST(SelectionState, ADragFromAnyCornerTakesTheSameRectangleAndATinyOneIsAClick)
{
    const QPointF corners[] = {{100, 100}, {300, 100}, {100, 200}, {300, 200}};
    for (int from = 0; from < 4; ++from) {
        SelectionState state(twoMonitors);
        state.press(corners[from]);
        state.drag({150, 150});
        EXPECT_EQ(state.release(corners[3 - from]), Outcome::accepted) << from;
        EXPECT_EQ(state.selection(), (ExactRect{100, 100, 200, 100})) << from;
    }
    SelectionState state(twoMonitors);
    state.press({10, 10});
    EXPECT_EQ(state.release({12, 40}), Outcome::none);
    EXPECT_EQ(state.selection(), std::nullopt);
    EXPECT_EQ(state.key(Qt::Key_Return, Qt::NoModifier), Outcome::none);
    EXPECT_EQ(state.key(Qt::Key_Escape, Qt::NoModifier), Outcome::cancelled);
}

TEST(SelectionState, TheKeysSelectWithoutTheMouseAndAKeyTouchedDragWaitsForReturn)
{
    SelectionState keys(twoMonitors, {50, 50});
    keys.key(Qt::Key_Right, Qt::NoModifier);
    keys.key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(keys.pointer(), QPointF(51, 60));
    for (int step = 0; step < 5; ++step) {
        keys.key(Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    }
    for (int step = 0; step < 3; ++step) {
        keys.key(Qt::Key_Down, Qt::ShiftModifier | Qt::ControlModifier);
    }
    keys.key(Qt::Key_Left, Qt::NoModifier);
    EXPECT_EQ(keys.selection(), (ExactRect{50, 60, 50, 30}));
    // Moved against the edge, it stops there.
    for (int step = 0; step < 10; ++step) {
        keys.key(Qt::Key_Up, Qt::ControlModifier);
    }
    EXPECT_EQ(keys.selection(), (ExactRect{50, 0, 50, 30}));
    EXPECT_EQ(keys.key(Qt::Key_Return, Qt::NoModifier), Outcome::accepted);

    // A drag from the bottom-right whose right edge the keys moved: letting go keeps it.
    SelectionState drag(twoMonitors);
    drag.press({300, 200});
    drag.drag({100, 100});
    drag.key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(drag.release({100, 100}), Outcome::none);
    EXPECT_EQ(drag.selection(), (ExactRect{100, 100, 201, 100}));
    EXPECT_EQ(drag.key(Qt::Key_Enter, Qt::NoModifier), Outcome::accepted);
}
