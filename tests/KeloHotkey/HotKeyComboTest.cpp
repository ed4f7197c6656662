#include "KeloHotkey/HotKeyCombo.h"
#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPlatform/KeymapSource.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t allModifiers =
    HotKeyCombo::control | HotKeyCombo::option | HotKeyCombo::shift | HotKeyCombo::command;

std::shared_ptr<const KeloPlatform::KeymapSource> usLayout()
{
    std::shared_ptr<const KeloPlatform::KeymapSource> source =
        KeloPlatform::createNamedKeymapSource(QStringLiteral("us"));
    EXPECT_TRUE(source) << "xkbcommon could not compile the US layout";
    return source;
}

} // namespace

TEST(HotKeyCombo, DefaultIsShiftCommandTwo)
{
    const HotKeyCombo combo = HotKeyCombo::defaultCombo();
    EXPECT_EQ(combo, (HotKeyCombo{19, 0x300}));
    EXPECT_EQ(combo, HotKeyCombo{});
    EXPECT_NE(combo, (HotKeyCombo{19, 0x100}));
    EXPECT_NE(combo, (HotKeyCombo{20, 0x300}));
}

TEST(HotKeyCombo, ShowsModifiersInEachStyleOrder)
{
    const KeyboardLayout::ScopedSource layout(usLayout());
    const HotKeyCombo shiftCommand2{19, HotKeyCombo::shift | HotKeyCombo::command};
    EXPECT_EQ(shiftCommand2.displayString(ShortcutStyle::symbols), QStringLiteral("⇧⌘2"));
    EXPECT_EQ(shiftCommand2.keys(ShortcutStyle::symbols),
              (QStringList{QStringLiteral("⇧"), QStringLiteral("⌘"), QStringLiteral("2")}));
    EXPECT_EQ(shiftCommand2.displayString(), QStringLiteral("Ctrl+Shift+2"));
    EXPECT_EQ(shiftCommand2.keys(),
              (QStringList{QStringLiteral("Ctrl"), QStringLiteral("Shift"), QStringLiteral("2")}));

    const HotKeyCombo controlOptionSpace{49, HotKeyCombo::control | HotKeyCombo::option};
    EXPECT_EQ(controlOptionSpace.displayString(ShortcutStyle::symbols), QStringLiteral("⌃⌥Space"));
    EXPECT_EQ(controlOptionSpace.displayString(ShortcutStyle::names), QStringLiteral("Alt+Super+Space"));
    EXPECT_EQ(controlOptionSpace.keys().size(), 3);

    const HotKeyCombo everything{0, allModifiers};
    EXPECT_EQ(everything.displayString(ShortcutStyle::symbols), QStringLiteral("⌃⌥⇧⌘A"));
    EXPECT_EQ(everything.displayString(), QStringLiteral("Ctrl+Alt+Shift+Super+A"));
    EXPECT_EQ(everything.keys(ShortcutStyle::symbols).size(), 5);

    // Bits outside the four modifiers are not shown.
    EXPECT_EQ((HotKeyCombo{49, 0x0001}).displayString(), QStringLiteral("Space"));
    EXPECT_EQ((HotKeyCombo{36, HotKeyCombo::command}).displayString(), QStringLiteral("Ctrl+↩"));
    EXPECT_EQ((HotKeyCombo{122, HotKeyCombo::option}).displayString(ShortcutStyle::symbols),
              QStringLiteral("⌥F1"));
}

TEST(HotKeyCombo, KeyNamesFallBackToTheNumberWithoutALayout)
{
    const KeyboardLayout::ScopedSource layout(KeloPlatform::createNullKeymapSource());
    const HotKeyCombo everything{0, allModifiers};
    EXPECT_EQ(everything.displayString(ShortcutStyle::symbols), QStringLiteral("⌃⌥⇧⌘#0"));
    EXPECT_EQ(everything.displayString(), QStringLiteral("Ctrl+Alt+Shift+Super+#0"));
    // Special keys need no layout.
    EXPECT_EQ((HotKeyCombo{49, 0}).displayString(), QStringLiteral("Space"));
    EXPECT_EQ((HotKeyCombo{126, HotKeyCombo::shift}).displayString(), QStringLiteral("Shift+↑"));
    // A hand-edited key code beyond 16 bits keeps its number rather than aliasing key 1.
    EXPECT_EQ((HotKeyCombo{65537, HotKeyCombo::command}).displayString(),
              QStringLiteral("Ctrl+#65537"));
}

TEST(HotKeyCombo, CarbonFlagsFollowQtsCrossPlatformModifiers)
{
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::NoModifier), 0u);
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::ControlModifier), HotKeyCombo::command);
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::AltModifier), HotKeyCombo::option);
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::MetaModifier), HotKeyCombo::control);
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::ShiftModifier), HotKeyCombo::shift);
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::ControlModifier | Qt::ShiftModifier), 0x300u);
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier
                                       | Qt::MetaModifier | Qt::KeypadModifier
                                       | Qt::GroupSwitchModifier),
              allModifiers);
    EXPECT_EQ(HotKeyCombo::carbonFlags(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u);
}

TEST(HotKeyCombo, JsonRoundTripsEveryValue)
{
    for (const HotKeyCombo &combo : {HotKeyCombo::defaultCombo(), HotKeyCombo{0, 0},
                                     HotKeyCombo{0xffffffff, 0xffffffff},
                                     HotKeyCombo{49, allModifiers}}) {
        EXPECT_EQ(HotKeyCombo::fromJson(combo.toJson()), combo) << combo.toJson().constData();
    }
    EXPECT_EQ(HotKeyCombo::defaultCombo().toJson(), QByteArray(R"({"keyCode":19,"modifiers":768})"));
    // Extra keys and key order do not matter.
    EXPECT_EQ(HotKeyCombo::fromJson(R"({"modifiers":256,"keyCode":9,"note":"x"})"),
              (HotKeyCombo{9, 256}));
}

TEST(HotKeyCombo, JsonDecodingRejectsAnythingButTwoUnsigned32BitNumbers)
{
    const char *rejected[] = {
        R"({"keyCode":19})",
        R"({"modifiers":768})",
        R"({"keyCode":-1,"modifiers":768})",
        R"({"keyCode":19,"modifiers":1.5})",
        R"({"keyCode":4294967296,"modifiers":0})",
        R"({"keyCode":"19","modifiers":768})",
        R"({"keyCode":null,"modifiers":768})",
        R"({"keyCode":true,"modifiers":768})",
        R"({"keyCode":1e300,"modifiers":0})",
        R"([19,768])",
        R"(19)",
        R"("keyCode")",
        "",
        "{",
        "\xff\xfe\x00garbage",
    };
    for (const char *json : rejected) {
        EXPECT_EQ(HotKeyCombo::fromJson(QByteArray(json)), std::nullopt) << json;
    }
    EXPECT_EQ(HotKeyCombo::fromJson(QByteArray("\x00\x01\x02", 3)), std::nullopt);
    EXPECT_EQ(HotKeyCombo::fromJson(R"({"keyCode":4294967295,"modifiers":0})"),
              (HotKeyCombo{4294967295u, 0}));
}
