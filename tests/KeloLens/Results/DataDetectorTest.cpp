// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/DataDetector.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// The links of `text` as "written → url" pairs, in text order.
QStringList links(const QString &text)
{
    QStringList out;
    for (const DataDetectorMatch &m : DataDetector(QStringLiteral("US")).matches(text)) {
        if (m.type == DataDetectorMatch::Type::link) {
            out << text.mid(m.start, m.length) + QStringLiteral(" → ") + m.url->toString();
        }
    }
    return out;
}

QStringList phones(const QString &text, const QString &region = QStringLiteral("US"))
{
    QStringList out;
    for (const DataDetectorMatch &m : DataDetector(region).matches(text)) {
        if (m.type == DataDetectorMatch::Type::phoneNumber) {
            EXPECT_EQ(*m.phoneNumber, text.mid(m.start, m.length));
            out << *m.phoneNumber;
        }
    }
    return out;
}

QString one(const QString &written, const QString &url)
{
    return written + QStringLiteral(" → ") + url;
}

} // namespace

TEST(DataDetector, FindsSchemeUrlsWwwHostsAndBareDomains)
{
    EXPECT_EQ(
        links("Docs at https://example.com/guide?x=1#top now"),
        QStringList{one("https://example.com/guide?x=1#top", "https://example.com/guide?x=1#top")});
    EXPECT_EQ(links("Visit www.example.com today"),
              QStringList{one("www.example.com", "http://www.example.com")});
    EXPECT_EQ(links("see example.com/a/b and news.bbc.co.uk"),
              (QStringList{one("example.com/a/b", "http://example.com/a/b"),
                           one("news.bbc.co.uk", "http://news.bbc.co.uk")}));
    EXPECT_EQ(links("localhost:8080 is no link, example.com:8080/x is"),
              QStringList{one("example.com:8080/x", "http://example.com:8080/x")});
    EXPECT_EQ(
        links("See:https://a.com;https://b.com,http://[::1]:8080/x"),
        (QStringList{one("https://a.com", "https://a.com"), one("https://b.com", "https://b.com"),
                     one("http://[::1]:8080/x", "http://[::1]:8080/x")}));
    EXPECT_EQ(links("HTTP://EXAMPLE.COM/Path"),
              QStringList{one("HTTP://EXAMPLE.COM/Path", "http://example.com/Path")});
}

TEST(DataDetector, FileNamesVersionNumbersAndSentencesAreNotLinks)
{
    EXPECT_TRUE(links("Open file.txt, then notes.docx and photo.jpeg").isEmpty());
    EXPECT_TRUE(links("Upgrade to v1.2 or 3.14.15 (build 2.0.1)").isEmpty());
    EXPECT_TRUE(links("It ended.Then it began. e.g. this, i.e. that, a.m. and p.m.").isEmpty());
    EXPECT_TRUE(
        links("/usr/share/example.com and C:\\dir\\example.com and x_example.com").isEmpty());
    EXPECT_TRUE(links("http:// and https://.").isEmpty());
    // Country domains that double as file extensions: a file name alone, a link with a path.
    EXPECT_EQ(links("README.md, main.py and setup.sh; docs.rs/serde"),
              QStringList{one("docs.rs/serde", "http://docs.rs/serde")});
    EXPECT_EQ(links("Makefile.in config.h.in script.pl logo.ai main.ml www.script.pl example.in/x"),
              (QStringList{one("www.script.pl", "http://www.script.pl"),
                           one("example.in/x", "http://example.in/x")}));
}

TEST(DataDetector, LeavesSentencePunctuationOutOfLinks)
{
    EXPECT_EQ(links("Go to https://example.com/a."),
              QStringList{one("https://example.com/a", "https://example.com/a")});
    EXPECT_EQ(
        links("example.com, example.org; example.net! example.io? www.a.de:"),
        (QStringList{one("example.com", "http://example.com"),
                     one("example.org", "http://example.org"),
                     one("example.net", "http://example.net"),
                     one("example.io", "http://example.io"), one("www.a.de", "http://www.a.de")}));
    // A period inside the path stays.
    EXPECT_EQ(
        links("get https://example.com/file.tar.gz."),
        QStringList{one("https://example.com/file.tar.gz", "https://example.com/file.tar.gz")});
}

TEST(DataDetector, KeepsOnlyBalancedClosingBrackets)
{
    EXPECT_EQ(links("(see https://example.com/page)"),
              QStringList{one("https://example.com/page", "https://example.com/page")});
    EXPECT_EQ(links("(https://en.wikipedia.org/wiki/Set_(mathematics))"),
              QStringList{one("https://en.wikipedia.org/wiki/Set_(mathematics)",
                              "https://en.wikipedia.org/wiki/Set_(mathematics)")});
    EXPECT_EQ(links("[link](https://example.com/a_(b)_c)."),
              QStringList{one("https://example.com/a_(b)_c", "https://example.com/a_(b)_c")});
}

TEST(DataDetector, LeavesQuotesAndAngleBracketsOut)
{
    EXPECT_EQ(links("<https://example.com/a>"),
              QStringList{one("https://example.com/a", "https://example.com/a")});
    EXPECT_EQ(links("\"https://example.com/b\" and 'https://example.com/c'"),
              (QStringList{one("https://example.com/b", "https://example.com/b"),
                           one("https://example.com/c", "https://example.com/c")}));
    EXPECT_EQ(links(QString::fromUtf8("«example.com» “www.example.org”")),
              (QStringList{one("example.com", "http://example.com"),
                           one("www.example.org", "http://www.example.org")}));
}

TEST(DataDetector, FindsEmailAddressesAsMailtoUrls)
{
    EXPECT_EQ(links("Write to John.Doe+news@Example.COM."),
              QStringList{one("John.Doe+news@Example.COM", "mailto:John.Doe+news@Example.COM")});
    EXPECT_EQ(links("<mailto:a@b.org?subject=Hi>"),
              QStringList{one("mailto:a@b.org?subject=Hi", "mailto:a@b.org?subject=Hi")});
    // Every character an address may hold unquoted: the whole address, never a shorter one.
    EXPECT_EQ(links("pat.o'brien@example.com, x!y@example.com and {a|b}~c@example.com"),
              (QStringList{one("pat.o'brien@example.com", "mailto:pat.o'brien@example.com"),
                           one("x!y@example.com", "mailto:x!y@example.com"),
                           one("{a|b}~c@example.com", "mailto:%7Ba%7Cb%7D~c@example.com")}));
    // Quotes and emphasis around an address are not part of it.
    EXPECT_EQ(links("Mail 'pat@example.com' or *sam@example.com*"),
              (QStringList{one("pat@example.com", "mailto:pat@example.com"),
                           one("sam@example.com", "mailto:sam@example.com")}));
    // No real domain, no address: the host part is not a link of its own either.
    EXPECT_TRUE(links("user@localhost and a@b.txt and .a@example.com@").isEmpty());
}

TEST(DataDetector, FindsPhoneNumbersAsWritten)
{
    EXPECT_EQ(phones("Call (212) 555-0123 or 212.555.0199 today"),
              (QStringList{"(212) 555-0123", "212.555.0199"}));
    EXPECT_EQ(phones("Berlin: +49 30 901820, London +44 20 7946 0958, Tokyo +81 3-1234-5678"),
              (QStringList{"+49 30 901820", "+44 20 7946 0958", "+81 3-1234-5678"}));
    // Without a country code the default region decides.
    EXPECT_EQ(phones("Ruf an: 030 901820", "DE"), QStringList{"030 901820"});
    EXPECT_TRUE(phones("Ruf an: 030 901820", "US").isEmpty());
    EXPECT_TRUE(phones("Version 1.2.3, order 42, 2024-05-17, 12:30").isEmpty());
    // Columns of a contact table, merged into one line one space apart.
    EXPECT_EQ(phones("212 555 0123 212 555 0124"), (QStringList{"212 555 0123", "212 555 0124"}));
    EXPECT_TRUE(phones("Totals 1 2 3 4 5 6 7 8 9 10 11 12").isEmpty());
    EXPECT_EQ(DataDetector("zz").defaultRegion(), "US");
    EXPECT_EQ(DataDetector("fr").defaultRegion(), "FR");
}

TEST(DataDetector, FindsEveryPhoneNumberOfALongTextOnce)
{
    // Long texts are read in pieces; numbers at every position around the piece boundaries must
    // still be found whole, and once.
    for (int shift = 0; shift < 40; shift += 3) {
        QString text = QString("x").repeated(shift);
        int written = 0;
        while (text.size() < 20000) {
            text += QString("word ").repeated(7) + QString::fromUtf8("☎ +1 212 555 0123, ");
            ++written;
        }
        const QStringList found = phones(text);
        EXPECT_EQ(found.size(), written) << "shift " << shift;
        EXPECT_EQ(found.count("+1 212 555 0123"), written) << "shift " << shift;
    }
}

TEST(DataDetector, ReportsUtf16RangesInTextOrderWithoutOverlaps)
{
    const QString text = QString::fromUtf8(
        "😀 Ünïcode → +1 212 555 0123 · https://example.com/2125550123 ✓ bücher.de");
    const QList<DataDetectorMatch> found = DataDetector("US").matches(text);
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0].type, DataDetectorMatch::Type::phoneNumber);
    EXPECT_EQ(text.mid(found[0].start, found[0].length), "+1 212 555 0123");
    EXPECT_EQ(found[1].type, DataDetectorMatch::Type::link);
    EXPECT_EQ(text.mid(found[1].start, found[1].length), "https://example.com/2125550123");
    EXPECT_EQ(text.mid(found[2].start, found[2].length), QString::fromUtf8("bücher.de"));
    EXPECT_EQ(found[2].url->host(), QString::fromUtf8("bücher.de"));
    EXPECT_EQ(links(QString::fromUtf8("сайт пример.рф")).size(), 1);
    // Scripts without spaces between words put links right after a word.
    EXPECT_EQ(links(QString::fromUtf8("詳細はhttps://example.jp/a ご覧ください")),
              QStringList{one("https://example.jp/a", "https://example.jp/a")});
    EXPECT_TRUE(links(QString::fromUtf8("Straßehttps://example.com")).isEmpty());
    // Lone surrogates neither crash nor shift the ranges that follow.
    QString broken = QStringLiteral("x ");
    broken.append(QChar(0xD800));
    broken.append(QStringLiteral(" +1 212 555 0123"));
    const auto brokenMatches = DataDetector("US").matches(broken);
    ASSERT_EQ(brokenMatches.size(), 1);
    EXPECT_EQ(broken.mid(brokenMatches[0].start, brokenMatches[0].length), "+1 212 555 0123");
}

TEST(DataDetector, HostileInputFinishesWithSoundResults)
{
    // Long runs that look almost like links; a quadratic scan of these would hit the test timeout.
    EXPECT_TRUE(links(QString("(a://[").repeated(20000)).size() <= 1);
    EXPECT_TRUE(links(QString("a.").repeated(50000)).isEmpty());
    EXPECT_TRUE(links(QString("x@").repeated(50000)).isEmpty());
    EXPECT_EQ(links(QString("http://example.com/").append(QString(")").repeated(100000))),
              QStringList{one("http://example.com/", "http://example.com/")});
    EXPECT_TRUE(phones(QString("1 ").repeated(50000)).size() < 50000);
}
