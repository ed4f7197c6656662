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
    // The shortcut stands in the shortcut column, as text only: capturing has no menu shortcut.
    EXPECT_EQ(menu.actions().first()->text(), "Capture Text\tCtrl+Shift+2");
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

TEST(StatusItemController, BuildsTheMenuAfreshAtEveryOpeningAndItsShortcutsWorkThere)
{
    int captures = 0;
    int quits = 0;
    StatusItemController controller(
        [](const QColor &color) {
            QPixmap mark(16, 16);
            mark.fill(color);
            return QIcon(mark);
        },
        QStringLiteral("KeloLens"),
        [&](QMenu &menu) {
            addItem(menu, QStringLiteral("Captures: %1").arg(captures), {}, {});
            addItem(menu, QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                    [&quits] { ++quits; });
        });
    for (captures = 0; captures < 2; ++captures) {
        controller.menu().popup(QPoint(10, 10));
        ASSERT_TRUE(KeloTest::waitUntil([&] { return controller.menu().isVisible(); }));
        EXPECT_EQ(controller.menu().actions().value(0)->text(),
                  QStringLiteral("Captures: %1").arg(captures));
        controller.menu().hide();
    }
    EXPECT_EQ(controller.trayIcon().toolTip(), "KeloLens");

    controller.menu().popup(QPoint(10, 10));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return controller.menu().isVisible(); }));
    QTest::keyClick(&controller.menu(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(controller.menu().isVisible());
}

TEST(StatusItemController, TheIconIsLightOnADarkPanelAndDarkOnALightOne)
{
    // What lies behind the icon: the panel, with the icon's own dark drawing in the middle.
    QImage panel(22, 22, QImage::Format_RGB32);
    panel.fill(QColor(0x20, 0x20, 0x24));
    panel.setPixelColor(0, 5, Qt::white);
    const QColor onDark = StatusItemController::iconColorOn(panel);
    EXPECT_GT(onDark.lightnessF(), 0.8);
    panel.fill(QColor(0xf4, 0xf4, 0xf0));
    for (int x = 4; x < 18; ++x) {
        panel.setPixelColor(x, 11, Qt::black);
    }
    EXPECT_LT(StatusItemController::iconColorOn(panel).lightnessF(), 0.3);
    EXPECT_FALSE(StatusItemController::iconColorOn(QImage()).isValid());
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
