// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ResultViewModel.h"

#include "support/TestSupport.h"
#include "support/fakes/CaptureFakes.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using KeloTest::textResult;

const DetectedCode menuCode{"QR", "https://example.com/menu", CodeKind::url};
const DetectedCode barcode{"EAN-13", "4006381333931", CodeKind::text};

} // namespace

TEST(ResultViewModel, OutputTextFollowsModeTextAndCodes)
{
    ResultViewModel model;
    model.load(textResult("Menu at https://example.org", {menuCode}), PanelMode::all, 1);
    EXPECT_EQ(model.outputText(), "Menu at https://example.org");
    EXPECT_EQ(model.chips().size(), 2);
    // The same capture shown again keeps the user's edit; a new one of the same text does not.
    model.setText("Menu, edited");
    QSignalSpy outputChanges(&model, &ResultViewModel::outputChanged);
    model.load(textResult("Menu at https://example.org", {menuCode}), PanelMode::all, 1);
    EXPECT_EQ(outputChanges.count(), 0) << "an equal load changes nothing";
    EXPECT_EQ(model.outputText(), "Menu, edited");
    model.load(textResult("Menu at https://example.org", {menuCode}), PanelMode::all, 2);
    EXPECT_EQ(model.outputText(), "Menu at https://example.org");

    // A code capture acts on the payloads only, even with text present.
    model.load(textResult("Menu at https://example.org", {menuCode}), PanelMode::codesOnly, 2);
    EXPECT_EQ(outputChanges.count(), 2);
    EXPECT_EQ(model.outputText(), "https://example.com/menu");
    ASSERT_EQ(model.chips().size(), 1);
    EXPECT_NE(model.chips()[0].kind.as<ChipKind::Code>(), nullptr);

    // No text: the payloads, one per line.
    model.load(textResult("", {menuCode, barcode}), PanelMode::all, 3);
    EXPECT_EQ(model.outputText(), "https://example.com/menu\n4006381333931");
    model.load(textResult(""), PanelMode::all, 4);
    EXPECT_EQ(model.outputText(), "");
    EXPECT_TRUE(model.chips().isEmpty());
}

TEST(ResultViewModel, ActionsHandTheOutputToTheirCallbacksAndEmptyOutputDoesNothing)
{
    ResultViewModel model;
    QStringList copied;
    QStringList pasted;
    QStringList saved;
    model.onCopy = [&](const QString &s) { copied << s; };
    model.onPaste = [&](const QString &s) { pasted << s; };
    model.onSaveText = [&](const QString &s) { saved << s; };
    for (const auto action : {&ResultViewModel::copyOutput, &ResultViewModel::copyAsMarkdown,
                              &ResultViewModel::pasteOutput, &ResultViewModel::saveOutput}) {
        (model.*action)();
    }
    EXPECT_TRUE(copied.isEmpty() && pasted.isEmpty() && saved.isEmpty());

    model.setText("fn main() {\n}");
    model.pasteOutput();
    EXPECT_FALSE(model.copied()) << "pasting is no copy";
    model.copyAsMarkdown();
    EXPECT_EQ(copied, QStringList{"```\nfn main() {\n}\n```"});
    EXPECT_TRUE(model.copied());
    EXPECT_EQ(pasted, QStringList{"fn main() {\n}"});
    // A fence longer than any backtick run in the text, so the text cannot close it early.
    EXPECT_EQ(ResultViewModel::markdownCodeBlock("a ```` b ``"), "`````\na ```` b ``\n`````");
}

TEST(ResultViewModel, CopiedLastsOneSecondAfterTheLatestCopyOrUntilAnEdit)
{
    ResultViewModel model;
    model.setText("hello");
    QSignalSpy copiedChanges(&model, &ResultViewModel::copiedChanged);
    QElapsedTimer sinceSecondCopy;
    model.copyOutput();
    QTest::qWait(500);
    model.copyOutput();
    sinceSecondCopy.start();
    EXPECT_EQ(copiedChanges.count(), 1); // the second copy keeps it true without a new notification
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !model.copied(); }, std::chrono::seconds(3)));
    // The reset counted from the second copy, not the first.
    EXPECT_GE(sinceSecondCopy.elapsed(), 950);
    EXPECT_EQ(copiedChanges.count(), 2);

    model.copyOutput();
    model.setText("hello"); // an equal store is no edit
    EXPECT_TRUE(model.copied());
    model.setText("hello!");
    EXPECT_FALSE(model.copied());
}
