// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ToastController.h"

#include "KeloLens/Results/ToastView.h"
#include "KeloTheme/ThemeFonts.h"
#include "support/TestSupport.h"
#include "support/fakes/PlatformFakes.h"

#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(ToastController, EachToastReplacesTheLastAndItsActionHidesOnlyItsOwn)
{
    KeloTest::FakeWindowSystem windows;
    ToastController toast(windows);
    toast.show(QStringLiteral("Copied 42 characters"));
    QPointer<QWidget> first = toast.window();
    ASSERT_TRUE(toast.isVisible());

    KeloTest::processEventsFor(300ms);
    toast.show(QStringLiteral("No text found"), QStringLiteral("Open Settings"), [] {});
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->isVisible()) << "the first one goes at once";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_GT(toast.remainingDisplayTime(), 4900ms) << "an action leaves time to press it";

    toast.show(QStringLiteral("Phone number copied"));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !toast.isVisible(); }, 4s));
    EXPECT_EQ(toast.window(), nullptr);

    // The action button runs its action and hides its own toast, not one the action showed.
    int runs = 0;
    toast.show(QStringLiteral("Screen access is off"), QStringLiteral("Open Settings"),
               [&] { ++runs; });
    auto *button = toast.window()->findChild<QPushButton *>(QStringLiteral("toastAction"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Open Settings"));
    EXPECT_TRUE(toast.isVisible());
    button->click();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(toast.isVisible());

    // An action may show the next toast itself; that one stays.
    toast.show(QStringLiteral("first"), QStringLiteral("Next"),
               [&] { toast.show(QStringLiteral("second")); });
    toast.window()->findChild<QPushButton *>(QStringLiteral("toastAction"))->click();
    EXPECT_TRUE(toast.isVisible());
    EXPECT_GT(toast.remainingDisplayTime(), 2000ms);
}

TEST(ToastController, LongMessagesAreCutToTwoLines)
{
    KeloTest::FakeWindowSystem windows;
    ToastController toast(windows);
    const QString longMessage = QStringLiteral("word ").repeated(80).trimmed();
    const QFont font = themeFont(TextStyle::body);
    const QString shown = ToastView::twoLines(longMessage, font, 360);
    const QStringList lines = shown.split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QChar(0x2026)));
    EXPECT_LE(QFontMetrics(font).horizontalAdvance(lines[0]), 360);
    EXPECT_LE(QFontMetrics(font).horizontalAdvance(lines[1]), 360);
    EXPECT_EQ(ToastView::twoLines(QStringLiteral("Code copied"), font, 360),
              QStringLiteral("Code copied"));
}
