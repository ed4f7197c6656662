// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloUpdates/Appcast.h"

#include <gtest/gtest.h>

namespace {

const QByteArray feed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>KeloLens</title>
    <item>
      <title>Version 0.9.0</title>
      <sparkle:version>90</sparkle:version>
      <sparkle:shortVersionString>0.9.0</sparkle:shortVersionString>
      <description><![CDATA[<p>Older</p>]]></description>
      <enclosure url="https://example.org/0.9.0.tar.gz" length="1" type="application/gzip"/>
    </item>
    <item>
      <title>Version 0.10.0</title>
      <description><![CDATA[<ul><li>Faster</li></ul>]]></description>
      <link>https://example.org/releases/0.10.0</link>
      <sparkle:releaseNotesLink>https://example.org/notes/0.10.0</sparkle:releaseNotesLink>
      <enclosure url="https://example.org/0.10.0.tar.gz" sparkle:version="100"
                 sparkle:shortVersionString="0.10.0" length="1" type="application/gzip"/>
    </item>
    <item>
      <title>Broken links</title>
      <sparkle:version>0.0.1</sparkle:version>
      <link>javascript:alert(1)</link>
      <enclosure url="file:///etc/passwd"/>
    </item>
  </channel>
</rss>)";

} // namespace

TEST(Appcast, ReadsItemsFromElementsAndEnclosureAttributes)
{
    const auto parsed = Appcast::parse(feed);
    ASSERT_TRUE(std::holds_alternative<QList<AppcastItem>>(parsed));
    const auto &items = std::get<QList<AppcastItem>>(parsed);
    ASSERT_EQ(items.size(), 3);

    EXPECT_EQ(items[0].displayVersion(), "0.9.0");
    // Without a link, the enclosure is where the release is.
    EXPECT_EQ(items[0].downloadPage, QUrl("https://example.org/0.9.0.tar.gz"));

    EXPECT_EQ(items[1].displayVersion(), "0.10.0");
    EXPECT_EQ(items[1].downloadPage, QUrl("https://example.org/releases/0.10.0"));
    EXPECT_EQ(items[1].releaseNotesLink, QUrl("https://example.org/notes/0.10.0"));

    // A feed cannot make the application open anything but a web page.
    EXPECT_TRUE(items[2].downloadPage.isEmpty());
}

TEST(Appcast, RefusesDataThatIsNotAFeed)
{
    for (const QByteArray &data :
         {QByteArray(), QByteArray("<html><body>Not found</body></html>"),
          QByteArray("<rss><channel><item><title>cut off"), QByteArray("<rss version=\"2.0\"/>")}) {
        const auto parsed = Appcast::parse(data);
        ASSERT_TRUE(std::holds_alternative<QString>(parsed)) << data.constData();
        EXPECT_FALSE(std::get<QString>(parsed).isEmpty());
    }
}

TEST(Appcast, ComparesVersionsPartByPart)
{
    using Appcast::compareVersions;
    EXPECT_GT(compareVersions("0.10.0", "0.9.9"), 0);
    EXPECT_LT(compareVersions("0.1.0", "0.1.1"), 0);
    EXPECT_EQ(compareVersions("1.0", "1.0.0"), 0);
    EXPECT_LT(compareVersions("1.0-beta", "1.0"), 0);
    EXPECT_LT(compareVersions("1.0b1", "1.0b2"), 0);
    EXPECT_GT(compareVersions("2", "1.99.99"), 0);
    EXPECT_GT(compareVersions("1.00000000000000000000001", "1.0"), 0);
}
