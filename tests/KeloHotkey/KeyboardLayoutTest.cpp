#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPlatform/KeymapSource.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const KeloPlatform::KeymapSource> named(const char *layout, const char *variant = "")
{
    std::shared_ptr<const KeloPlatform::KeymapSource> source = KeloPlatform::createNamedKeymapSource(
        QString::fromLatin1(layout), QString::fromLatin1(variant));
    EXPECT_TRUE(source) << layout;
    return source;
}

} // namespace

TEST(KeyboardLayout, WithoutALayoutOnlySpecialKeysHaveNames)
{
    // Offscreen: no X server, so the session has no layout at all.
    EXPECT_EQ(KeyboardLayout::character(0), std::nullopt);
    EXPECT_EQ(KeyboardLayout::keyCode(QStringLiteral("v")), std::nullopt);
    EXPECT_EQ(KeyboardLayout::displayName(0), QStringLiteral("#0"));
    EXPECT_EQ(KeyboardLayout::displayName(127), QStringLiteral("#127"));
    EXPECT_EQ(KeyboardLayout::displayName(65535), QStringLiteral("#65535"));
    const std::pair<uint16_t, const char16_t *> special[] = {
        {36, u"↩"}, {48, u"⇥"}, {49, u"Space"}, {51, u"⌫"}, {53, u"⎋"}, {96, u"F5"},
        {97, u"F6"}, {98, u"F7"}, {99, u"F3"}, {100, u"F8"}, {101, u"F9"}, {103, u"F11"},
        {109, u"F10"}, {111, u"F12"}, {117, u"⌦"}, {118, u"F4"}, {120, u"F2"}, {122, u"F1"},
        {123, u"←"}, {124, u"→"}, {125, u"↓"}, {126, u"↑"}};
    for (const auto &[code, name] : special) {
        EXPECT_EQ(KeyboardLayout::displayName(code), QString::fromUtf16(name)) << code;
    }
}

TEST(KeyboardLayout, TranslatesThroughANamedLayout)
{
    {
        const KeyboardLayout::ScopedSource us(named("us"));
        EXPECT_EQ(KeyboardLayout::character(0), QStringLiteral("a"));
        EXPECT_EQ(KeyboardLayout::displayName(0), QStringLiteral("A"));
        EXPECT_EQ(KeyboardLayout::displayName(27), QStringLiteral("-"));
        EXPECT_EQ(KeyboardLayout::keyCode(QStringLiteral("v")), uint16_t(9));
        EXPECT_EQ(KeyboardLayout::keyCode(QStringLiteral("V")), uint16_t(9));
        EXPECT_EQ(KeyboardLayout::keyCode(QStringLiteral("vv")), std::nullopt);
        EXPECT_EQ(KeyboardLayout::keyCode(QStringLiteral("ß")), std::nullopt);
        // Special keys keep their fixed names whatever the layout types.
        EXPECT_EQ(KeyboardLayout::displayName(49), QStringLiteral("Space"));

        // The innermost scope wins and the outer one comes back.
        {
            const KeyboardLayout::ScopedSource german(named("de"));
            EXPECT_EQ(KeyboardLayout::character(16), QStringLiteral("z"));
            EXPECT_EQ(KeyboardLayout::keyCode(QStringLiteral("ß")), uint16_t(27));
            EXPECT_EQ(KeyboardLayout::displayName(27), QStringLiteral("SS"));
        }
        EXPECT_EQ(KeyboardLayout::character(16), QStringLiteral("y"));
    }
    const KeyboardLayout::ScopedSource russian(named("ru"));
    // A layout whose letters are not Latin: no key types "v".
    EXPECT_EQ(KeyboardLayout::character(9), QStringLiteral("м"));
    EXPECT_EQ(KeyboardLayout::displayName(9), QStringLiteral("М"));
    EXPECT_EQ(KeyboardLayout::keyCode(QStringLiteral("v")), std::nullopt);
}

TEST(KeyboardLayout, UnknownLayoutNamesGiveNoSource)
{
    EXPECT_FALSE(KeloPlatform::createNamedKeymapSource(QStringLiteral("no-such-layout")));
    EXPECT_FALSE(KeloPlatform::createNamedKeymapSource(QString()));
}
