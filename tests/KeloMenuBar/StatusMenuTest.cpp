// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloMenuBar/StatusMenu.h"

#include "KeloMenuBar/ClosureMenuItem.h"
#include "KeloMenuBar/MainMenu.h"
#include "KeloMenuBar/StatusItemController.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

QAction *find(const QMenu &menu, const QString &title)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == title) {
            return action;
        }
    }
    return nullptr;
}

} // namespace

TEST(StatusMenu, FollowsTheStateOfTheMomentAndEachItemRunsItsAction)
{
    QStringList calls;
    const auto record = [&calls](const char *name) {
        return [&calls, name] { calls << QString::fromLatin1(name); };
    };
    StatusMenuActions actions{record("text"),  record("code"),  record("last"), record("settings"),
                              record("check"), record("maker"), record("quit")};
    QMenu menu;
    buildStatusMenu(menu, {QStringLiteral("Ctrl+Shift+2"), true, true}, actions);
    EXPECT_EQ(menu.actions().first()->text(), "Capture Text   Ctrl+Shift+2");
    // The shortcut in the title is only text: capturing has no menu shortcut.
    EXPECT_TRUE(menu.actions().first()->shortcut().isEmpty());
    for (QAction *action : menu.actions()) {
        action->trigger();
    }
    EXPECT_EQ(calls, (QStringList{"text", "code", "last", "settings", "check", "maker", "quit"}));

    menu.clear();
    buildStatusMenu(menu, {std::nullopt, false, false}, actions);
    EXPECT_EQ(menu.actions().first()->text(), "Capture Text");
    EXPECT_FALSE(find(menu, "Last Result")->isEnabled());
    EXPECT_EQ(find(menu, "Check for Updates…"), nullptr);
}

TEST(StatusItemController, BuildsTheMenuAfreshAtEveryOpening)
{
    int captures = 0;
    QPixmap mark(16, 16);
    mark.fill(Qt::black);
    StatusItemController controller(
        QIcon(mark), QStringLiteral("KeloLens"), [&captures](QMenu &menu) {
            addItem(menu, QStringLiteral("Captures: %1").arg(captures), {}, {});
        });
    for (captures = 0; captures < 2; ++captures) {
        controller.menu().popup(QPoint(10, 10));
        ASSERT_TRUE(KeloTest::waitUntil([&] { return controller.menu().isVisible(); }));
        EXPECT_EQ(controller.menu().actions().value(0)->text(),
                  QStringLiteral("Captures: %1").arg(captures));
        controller.menu().hide();
    }
    EXPECT_EQ(controller.trayIcon().toolTip(), "KeloLens");
}

TEST(MainMenu, CtrlWClosesTheWindowAndCtrlQQuits)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *field = new QLineEdit(&window);
    layout->addWidget(field);
    int quits = 0;
    const MainMenu::Commands commands =
        MainMenu::install(window, QStringLiteral("KeloLens"), [&quits] { ++quits; });
    EXPECT_EQ(commands.quit->text(), "Quit KeloLens");
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();

    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    // The text field keeps its own editing commands.
    QTest::keyClicks(field, QStringLiteral("abc"));
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), "abc");
    QTest::keyClick(field, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
}
