#include "KeloPaste/PasteService.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/WindowSystem.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

// Without an X server (the offscreen platform) keystrokes cannot reach other applications:
// pasting says so instead of pretending, and the clipboard still works.
TEST(PasteService, WithoutAWindowSystemPasteRefusesAndTheClipboardStillWorks)
{
    EXPECT_FALSE(Accessibility::isTrusted());
    Accessibility::request();
    EXPECT_FALSE(KeloPlatform::windowSystem().frontmostApplication());
    EXPECT_FALSE(PasteService::paste(KeloPlatform::RunningApplication{42, 7}));
    EXPECT_FALSE(PasteService::paste(std::nullopt));

    auto *rich = new QMimeData;
    rich->setHtml(QStringLiteral("<i>old</i>"));
    QGuiApplication::clipboard()->setMimeData(rich);
    const qint64 first = PasteService::writePlainText(QStringLiteral("one"));
    const qint64 second = PasteService::writePlainText(QStringLiteral("two\nlines"));
    EXPECT_EQ(second, first + 1);
    const QMimeData *now = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->text(), QStringLiteral("two\nlines"));
    EXPECT_FALSE(now->hasHtml());
}
