// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/HotKeyCombo.h"

#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPlatform/KeymapSource.h"
#include "KeloPlatform/null/NullServices.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t allModifiers =
    HotKeyCombo::control | HotKeyCombo::option | HotKeyCombo::shift | HotKeyCombo::command;

std::unique_ptr<KeloPlatform::KeymapSource> named(const char *layout, const char *variant = "")
{
    auto source = KeloPlatform::createNamedKeymapSource(QString::fromLatin1(layout),
                                                        QString::fromLatin1(variant));
    EXPECT_TRUE(source) << "xkbcommon could not compile " << layout;
    return source;
}

} // namespace

TEST(HotKeyCombo, ShowsModifiersInOrderThenTheKeyNamedByTheLayout)
{
    const auto us = named("us");
    const KeyboardLayout layout(*us);
    EXPECT_EQ(HotKeyCombo::defaultCombo().keys(layout),
              (QStringList{QStringLiteral("Ctrl"), QStringLiteral("Shift"), QStringLiteral("2")}));
    const HotKeyCombo everything{0, allModifiers};
    EXPECT_EQ(everything.displayString(layout), QStringLiteral("Ctrl+Alt+Shift+Super+A"));
    EXPECT_EQ(everything.displayString(layout, ShortcutStyle::symbols), QStringLiteral("⌃⌥⇧⌘A"));
    // Bits outside the four modifiers are not shown.
    EXPECT_EQ((HotKeyCombo{49, 0x0001}).displayString(layout), QStringLiteral("Space"));

    // Without a layout the key keeps its number; a hand-edited key code beyond 16 bits keeps its
    // own rather than aliasing key 1.
    const KeloPlatform::NullKeymapSource none;
    EXPECT_EQ((HotKeyCombo{0, HotKeyCombo::shift}).displayString(KeyboardLayout(none)),
              QStringLiteral("Shift+#0"));
    EXPECT_EQ((HotKeyCombo{65537, HotKeyCombo::command}).displayString(KeyboardLayout(none)),
              QStringLiteral("Ctrl+#65537"));
}

TEST(HotKeyCombo, JsonRoundTripsAndRejectsAnythingButTwoUnsigned32BitNumbers)
{
    for (const HotKeyCombo &combo :
         {HotKeyCombo::defaultCombo(), HotKeyCombo{0xffffffff, 0xffffffff}}) {
        EXPECT_EQ(HotKeyCombo::fromJson(combo.toJson()), combo) << combo.toJson().constData();
    }
    EXPECT_EQ(HotKeyCombo::fromJson(R"({"modifiers":256,"keyCode":9,"note":"x"})"),
              (HotKeyCombo{9, 256}));
    const char *rejected[] = {
        R"({"keyCode":19})",
        R"({"keyCode":-1,"modifiers":768})",
        R"({"keyCode":19,"modifiers":1.5})",
        R"({"keyCode":4294967296,"modifiers":0})",
        R"({"keyCode":"19","modifiers":768})",
        R"([19,768])",
        "{",
        "\xff\xfe\x00garbage",
    };
    for (const char *json : rejected) {
        EXPECT_EQ(HotKeyCombo::fromJson(QByteArray(json)), std::nullopt) << json;
    }
}

TEST(KeyboardLayout, TranslatesThroughTheLayoutItIsGiven)
{
    const KeloPlatform::NullKeymapSource none;
    const KeyboardLayout noLayout(none);
    EXPECT_EQ(noLayout.character(0), std::nullopt);
    EXPECT_EQ(noLayout.keyCode(QStringLiteral("v")), std::nullopt);
    EXPECT_EQ(noLayout.displayName(36), QStringLiteral("↩"));

    const auto us = named("us");
    EXPECT_EQ(KeyboardLayout(*us).keyCode(QStringLiteral("vv")), std::nullopt);
    // ß has no single upper-case letter.
    const auto de = named("de");
    const KeyboardLayout german(*de);
    EXPECT_EQ(german.keyCode(QStringLiteral("ß")), uint16_t(27));
    EXPECT_EQ(german.displayName(27), QStringLiteral("SS"));
    // A layout whose letters are not Latin: no key types "v".
    const auto ru = named("ru");
    const KeyboardLayout russian(*ru);
    EXPECT_EQ(russian.displayName(9), QStringLiteral("М"));
    EXPECT_EQ(russian.keyCode(QStringLiteral("v")), std::nullopt);

    EXPECT_FALSE(KeloPlatform::createNamedKeymapSource(QStringLiteral("no-such-layout")));
}
