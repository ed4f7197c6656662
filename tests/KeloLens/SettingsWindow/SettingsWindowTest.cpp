// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/GeneralPage.h"
#include "KeloLens/SettingsWindow/RecognitionPage.h"
#include "KeloLens/SettingsWindow/SettingsDetail.h"
#include "KeloLens/SettingsWindow/SettingsRouter.h"
#include "KeloLens/SettingsWindow/SettingsSidebar.h"
#include "KeloLens/SettingsWindow/SettingsWindowController.h"
#include "SettingsFixture.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

using SettingsWindow = SettingsFixture;

TEST_F(SettingsWindow, EveryPageFitsWithoutScrollingAlsoWithLargeTextAndKeepsItsTitle)
{
    SettingsServices all = services();
    all.isTrayMissing = true;
    const QFont normal = QApplication::font();
    // A desktop without a shortcut service shows the command to bind, beside the longest
    // description; the permission rows say the most where the desktop asks at every start.
    for (const bool hasGlobalShortcuts : {true, false}) {
        all.hasGlobalShortcuts = hasGlobalShortcuts;
        // A desktop's 1.25 text scaling makes every font given in points that much larger.
        for (const qreal scale : {1.0, 1.25}) {
            QFont font = normal;
            font.setPointSizeF(normal.pointSizeF() * scale);
            QApplication::setFont(font);
            SettingsRouter router;
            SettingsWindowController controller(router, all);
            for (const SettingsPage page : SettingsPages::all()) {
                controller.show(page);
                QWidget *window = controller.window();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
                // The new page's layout settles in posted events, before it is first painted.
                QCoreApplication::processEvents();
                EXPECT_EQ(window->windowTitle(), SettingsPages::title(page));
                EXPECT_GE(window->height(), SettingsWindowController::contentSize.height());
                QWidget *shown = controller.detail()->page();
                QList<QScrollArea *> forms = shown->findChildren<QScrollArea *>();
                forms << qobject_cast<QScrollArea *>(shown);
                for (const QScrollArea *form : forms) {
                    if (form == nullptr) {
                        continue;
                    }
                    const std::string where =
                        SettingsPages::title(page).toStdString() + " at " + std::to_string(scale);
                    // Only a window that has grown to the screen's height may scroll (the test
                    // screen is 800 x 600).
                    if (window->height() < window->screen()->availableGeometry().height() - 48) {
                        EXPECT_EQ(form->verticalScrollBar()->maximum(), 0) << where << " scrolls";
                    }
                    // Its scroll bar is off: what is wider than the window is cut off.
                    EXPECT_LE(form->widget()->width(), form->viewport()->width())
                        << where << " is wider than its window";
                }
            }
        }
    }
    QApplication::setFont(normal);
}

TEST_F(SettingsWindow, ReopensOnTheLastPageUnlessOneIsAsked)
{
    SettingsRouter router;
    SettingsWindowController controller(router, services());
    EXPECT_EQ(controller.window(), nullptr);

    controller.show();
    QWidget *window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "General");
    EXPECT_NE(qobject_cast<GeneralPage *>(controller.detail()->page()), nullptr);

    // The user picks Recognition in the sidebar, then closes the window.
    SettingsSidebar *sidebar = controller.sidebar();
    const QRect recognitionRow = sidebar->visualItemRect(sidebar->item(1));
    QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, recognitionRow.center());
    EXPECT_EQ(router.page(), SettingsPage::recognition);
    EXPECT_EQ(window->windowTitle(), "Recognition");
    EXPECT_NE(qobject_cast<RecognitionPage *>(controller.detail()->page()), nullptr);
    window->close();
    EXPECT_FALSE(window->isVisible());

    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Recognition");

    controller.show(SettingsPage::general);
    EXPECT_EQ(window->windowTitle(), "General");
    EXPECT_EQ(sidebar->currentRow(), 0);

    // A page stays selected, and clicking it again does not rebuild it.
    QWidget *page = controller.detail()->page();
    sidebar->clearSelection();
    EXPECT_EQ(sidebar->selectedItems().size(), 1);
    QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {},
                      sidebar->visualItemRect(sidebar->item(0)).center());
    EXPECT_EQ(controller.detail()->page(), page);
}
