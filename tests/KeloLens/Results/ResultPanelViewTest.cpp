// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ResultPanelView.h"

#include "KeloLens/Results/ChipButton.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloPaste/Accessibility.h"
#include "support/TestSupport.h"
#include "support/fakes/CaptureFakes.h"
#include "support/fakes/PlatformFakes.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using KeloTest::textResult;

const DetectedCode homeWifi{QStringLiteral("QR"), QStringLiteral("WIFI:S:Home;T:WPA;P:s3cret;;"),
                            CodeKind::wifi};
const DetectedCode cafeWifi{QStringLiteral("QR"), QStringLiteral("WIFI:S:Cafe;T:nopass;;"),
                            CodeKind::wifi};

class ResultPanelViewTest : public ::testing::Test
{
protected:
    ResultPanelViewTest() { view.show(); }

    template <typename T> T *child(const char *name) const
    {
        return view.findChild<T *>(QLatin1String(name));
    }
    [[nodiscard]] bool isShown(const char *name) const
    {
        const auto *widget = child<QWidget>(name);
        return widget && widget->isVisibleTo(&view);
    }
    [[nodiscard]] QList<ChipButton *> chipButtons() const
    {
        return view.findChildren<ChipButton *>();
    }

    KeloTest::FakeSyntheticKeys keys;
    Accessibility accessibility{keys};
    KeloTest::FakeWindowSystem windows;
    ResultViewModel model;
    ResultPanelView view{model, accessibility, windows};
};

} // namespace

TEST_F(ResultPanelViewTest, CountLineSpellsPluralsAndCountsCharactersAsTheyAreSeen)
{
    model.load(textResult(QString::fromUtf8("a\nb👍🏽")), PanelMode::all, 1);
    EXPECT_EQ(child<QLabel>("countLabel")->text(), QStringLiteral("2 lines · 4 characters"));
    EXPECT_EQ(view.editor()->toPlainText(), model.text());

    // Typing goes back into the model.
    view.editor()->setPlainText(QStringLiteral("x"));
    EXPECT_EQ(model.text(), QStringLiteral("x"));
    EXPECT_EQ(child<QLabel>("countLabel")->text(), QStringLiteral("1 line · 1 character"));
}

TEST_F(ResultPanelViewTest, ChipsRowOnlyWithChipsAndTheCodesHeadingInCodeCaptures)
{
    model.load(textResult(QStringLiteral("nothing to act on")), PanelMode::all, 2);
    EXPECT_FALSE(isShown("chipsRow"));
    EXPECT_TRUE(view.editor()->isVisibleTo(&view));
    EXPECT_FALSE(isShown("codesHeading"));

    model.load(textResult(QStringLiteral("see https://example.com or call +1 650 253 0000")),
               PanelMode::all, 3);
    EXPECT_TRUE(isShown("chipsRow"));
    ASSERT_EQ(chipButtons().size(), 2);
    EXPECT_EQ(chipButtons()[0]->chip().badge, QStringLiteral("Link"));

    model.load(textResult(QStringLiteral("https://example.com"), {homeWifi}), PanelMode::codesOnly,
               4);
    EXPECT_FALSE(view.editor()->isVisibleTo(&view));
    EXPECT_FALSE(isShown("countLabel"));
    EXPECT_TRUE(isShown("codesHeading"));
    ASSERT_EQ(chipButtons().size(), 1);
    EXPECT_EQ(chipButtons()[0]->chip().badge, QStringLiteral("Wi-Fi"));
}

TEST_F(ResultPanelViewTest, EmptyOutputDisablesTheActionsButAllowPasteStaysEnabled)
{
    model.load(textResult(QString()), PanelMode::all, 5);
    for (const char *name : {"copyButton", "pasteButton", "oneLineButton"}) {
        EXPECT_FALSE(child<QPushButton>(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(isShown("allowPasteButton"));
    EXPECT_FALSE(isShown("accessibilityHint"));

    model.setCanPaste(false);
    EXPECT_FALSE(isShown("pasteButton"));
    EXPECT_FALSE(isShown("oneLineButton"));
    EXPECT_TRUE(isShown("allowPasteButton"));
    EXPECT_TRUE(child<QPushButton>("allowPasteButton")->isEnabled());
    EXPECT_TRUE(isShown("accessibilityHint"));
    int requests = 0;
    model.onRequestPaste = [&] { ++requests; };
    child<QPushButton>("allowPasteButton")->click();
    EXPECT_EQ(requests, 1);

    model.load(textResult(QStringLiteral("text")), PanelMode::all, 6);
    EXPECT_TRUE(child<QPushButton>("copyButton")->isEnabled());
}

TEST_F(ResultPanelViewTest, WifiChipOpensItsDetailsWhereCopyPasswordCopiesAndCloses)
{
    QList<bool> popoverShown;
    QStringList copied;
    QList<Chip> opened;
    model.onPopoverVisibilityChanged = [&](bool shown) { popoverShown.append(shown); };
    model.onCopy = [&](const QString &text) { copied.append(text); };
    model.onOpenChip = [&](const Chip &chip) { opened.append(chip); };
    model.load(textResult(QStringLiteral("call +1 650 253 0000"), {homeWifi, cafeWifi}),
               PanelMode::all, 8);
    ASSERT_EQ(chipButtons().size(), 3);

    chipButtons()[0]->click();
    EXPECT_EQ(opened.size(), 1) << "other chips go to the controller";
    chipButtons()[1]->click();
    EXPECT_EQ(opened.size(), 1) << "Wi-Fi chips open their details instead";
    EXPECT_EQ(view.wifiChip(), chipButtons()[1]->chip());
    EXPECT_EQ(popoverShown, QList<bool>{true});
    auto *name = view.findChild<QLabel *>(QStringLiteral("wifiNetworkName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Home"));
    auto *copyPassword = view.findChild<QPushButton *>(QStringLiteral("copyPasswordButton"));
    ASSERT_NE(copyPassword, nullptr);
    copyPassword->click();
    EXPECT_EQ(copied, QStringList{QStringLiteral("s3cret")});
    EXPECT_EQ(view.wifiChip(), std::nullopt);
    EXPECT_EQ(popoverShown, (QList<bool>{true, false}));

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    chipButtons()[2]->click();
    EXPECT_NE(view.findChild<QLabel *>(QStringLiteral("openNetworkLabel")), nullptr);
    EXPECT_EQ(view.findChild<QPushButton *>(QStringLiteral("copyPasswordButton")), nullptr);
    view.setWifiChip(std::nullopt);
    EXPECT_EQ(popoverShown, (QList<bool>{true, false, true, false}));
}
