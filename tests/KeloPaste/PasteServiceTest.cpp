#include "KeloPaste/PasteService.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/null/NullServices.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

// Without synthetic keys (a session this application cannot send keys in) pasting says so
// instead of pretending, and the clipboard still works.
TEST(PasteService, WithoutSyntheticKeysPasteRefusesAndTheClipboardStillWorks)
{
    KeloPlatform::NullWindowSystem windows;
    KeloPlatform::NullSyntheticKeys keys;
    KeloPlatform::NullKeymapSource keymap;
    PasteService service(windows, keys, KeyboardLayout(keymap));
    EXPECT_FALSE(Accessibility(keys).isTrusted());
    EXPECT_FALSE(service.paste(KeloPlatform::RunningApplication{42, 7}));
    EXPECT_FALSE(service.paste(std::nullopt));

    auto *rich = new QMimeData;
    rich->setHtml(QStringLiteral("<i>old</i>"));
    QGuiApplication::clipboard()->setMimeData(rich);
    const std::optional<qint64> first = service.writePlainText(QStringLiteral("one"));
    const std::optional<qint64> second = service.writePlainText(QStringLiteral("two\nlines"));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*second, *first + 1);
    const QMimeData *now = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->text(), QStringLiteral("two\nlines"));
    EXPECT_FALSE(now->hasHtml());
}
