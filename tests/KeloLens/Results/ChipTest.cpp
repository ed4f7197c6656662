// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/Chip.h"

#include "KeloLens/Results/DataDetector.h"

#include <gtest/gtest.h>

namespace {

QList<Chip> chipsOf(const QString &text, const QList<DetectedCode> &codes = {})
{
    return extractChips(text, codes, DataDetector(QStringLiteral("US")));
}

QStringList labels(const QList<Chip> &chips)
{
    QStringList out;
    for (const Chip &chip : chips) {
        out << chip.label;
    }
    return out;
}

DetectedCode code(const QString &symbology, const QString &payload, CodeKind kind)
{
    return DetectedCode{symbology, payload, kind};
}

} // namespace

TEST(Chips, DuplicatesCollapseToTheFirstOccurrence)
{
    // The same URL twice, spelled the first time with an upper-case host.
    EXPECT_EQ(labels(chipsOf("https://EXAMPLE.com/x and again https://example.com/x")),
              QStringList{"https://EXAMPLE.com/x"});
    // A bare host and the same site with its scheme are one link.
    EXPECT_EQ(labels(chipsOf("example.com or http://example.com")), QStringList{"example.com"});
    // E-mail addresses differing only in letter case, of the scheme or of the address.
    EXPECT_EQ(labels(chipsOf("Bob@Example.com, bob@example.COM, MAILTO:BOB@EXAMPLE.COM")),
              QStringList{"Bob@Example.com"});
    // Phone numbers with the same digits but other punctuation.
    EXPECT_EQ(labels(chipsOf("(212) 555-0123 / 212.555.0123 / 212 555 0123")),
              QStringList{"(212) 555-0123"});
    // A link in the text and the same link in a QR code: only the text chip.
    const QList<Chip> both = chipsOf("https://example.com/menu",
                                     {code("QR", "https://example.com/menu", CodeKind::url)});
    ASSERT_EQ(both.size(), 1);
    EXPECT_NE(both[0].kind.as<ChipKind::Link>(), nullptr);
    // Two equal codes give one chip; different links in codes give one each, in code order.
    const QList<Chip> codes = chipsOf("", {code("QR", "https://b.example/", CodeKind::url),
                                           code("QR", "https://a.example/", CodeKind::url),
                                           code("QR", "https://b.example/", CodeKind::url)});
    EXPECT_EQ(labels(codes), (QStringList{"https://b.example/", "https://a.example/"}));
}

TEST(Chips, TextChipsComeFirstThenCodesWithTheirBadges)
{
    const QList<DetectedCode> codes = {
        code("QR", "plain words", CodeKind::text),
        code("EAN-13", "4006381333931", CodeKind::text),
        code("QR", "WIFI:T:WPA;S:Cafe Guest;P:latte123;;", CodeKind::wifi),
        code("QR", "WIFI:T:WPA;P:nameless;;", CodeKind::wifi),
        code("QR", "BEGIN:VCARD\nFN:Ann\nEND:VCARD", CodeKind::contact),
        code("QR", "not a url at all", CodeKind::url),
    };
    const QList<Chip> chips = chipsOf("Docs: example.org", codes);
    ASSERT_EQ(chips.size(), 7);
    QStringList badges;
    for (const Chip &chip : chips) {
        badges << chip.badge;
    }
    EXPECT_EQ(badges, (QStringList{"Link", "Text", "EAN-13", "Wi-Fi", "Wi-Fi", "Contact", "Link"}));
    EXPECT_EQ(chips[0].label, "example.org");
    EXPECT_EQ(chips[3].label, "Cafe Guest");
    EXPECT_EQ(chips[3].id, "WIFI:T:WPA;S:Cafe Guest;P:latte123;;");
    // No network name: the raw payload is the label.
    EXPECT_EQ(chips[4].label, "WIFI:T:WPA;P:nameless;;");
    // A payload that does not parse as a URL is its own id.
    EXPECT_EQ(chips[6].id, "not a url at all");
    EXPECT_EQ(chips[6].kind, ChipKind::code(codes[5]));
}
