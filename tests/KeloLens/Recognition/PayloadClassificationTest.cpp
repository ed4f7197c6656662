// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/PayloadClassification.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

std::optional<WifiCredentials> wifi(const QString &payload)
{
    return wifiCredentials(payload, classifyPayload(payload));
}

WifiCredentials network(const QString &ssid, std::optional<QString> password = std::nullopt)
{
    return {ssid, std::move(password)};
}

} // namespace

TEST(PayloadClassification, PrefixesMatchInAnyLetterCase)
{
    EXPECT_EQ(classifyPayload(QStringLiteral("WIFI:S:home;;")), CodeKind::wifi);
    EXPECT_EQ(classifyPayload(QStringLiteral("wifi:S:home;;")), CodeKind::wifi);
    EXPECT_EQ(classifyPayload(QStringLiteral("begin:vcard\nFN:Ada\nEND:VCARD")), CodeKind::contact);
    EXPECT_EQ(classifyPayload(QStringLiteral("MeCard:N:Ada;;")), CodeKind::contact);
    // Shorter than the prefix, or the prefix with a combining mark on its last character.
    EXPECT_EQ(classifyPayload(QStringLiteral("WIFI")), CodeKind::text);
    EXPECT_EQ(classifyPayload(QStringLiteral("WIFI:\u0301S:x;;")), CodeKind::text);
    // Full upper-casing: the dotless/dotted i forms upper-case to plain I.
    EXPECT_EQ(classifyPayload(QStringLiteral("w\u0131f\u0131:S:x;;")), CodeKind::wifi);
}

TEST(PayloadClassification, OnlyHttpAndHttpsUrlsWithAHostAreLinks)
{
    EXPECT_EQ(classifyPayload(QStringLiteral("https://example.com/a?b=c")), CodeKind::url);
    EXPECT_EQ(classifyPayload(QStringLiteral("HTTP://EXAMPLE.COM")), CodeKind::url);
    EXPECT_EQ(classifyPayload(QStringLiteral("hTTpS://10.0.0.1:8080")), CodeKind::url);

    EXPECT_EQ(classifyPayload(QStringLiteral("http:")), CodeKind::text);
    EXPECT_EQ(classifyPayload(QStringLiteral("https:/path/only")), CodeKind::text);
    EXPECT_EQ(classifyPayload(QStringLiteral("mailto:ada@example.com")), CodeKind::text);
    EXPECT_EQ(classifyPayload(QStringLiteral("ftp://example.com/file")), CodeKind::text);
    EXPECT_EQ(classifyPayload(QStringLiteral("example.com")), CodeKind::text);
    // Strict parsing: a space inside is not a URL.
    EXPECT_EQ(classifyPayload(QStringLiteral("https://exa mple.com")), CodeKind::text);
}

TEST(PayloadClassification, WifiFieldsInAnyOrder)
{
    EXPECT_EQ(wifi(QStringLiteral("WIFI:T:WPA;S:Home Net;P:secret;;")),
              network(QStringLiteral("Home Net"), QStringLiteral("secret")));
    EXPECT_EQ(wifi(QStringLiteral("WIFI:P:secret;H:true;S:Home;T:WPA;;")),
              network(QStringLiteral("Home"), QStringLiteral("secret")));
    // Lower-case prefix parses the same way.
    EXPECT_EQ(wifi(QStringLiteral("wifi:S:Home;P:pw;;")),
              network(QStringLiteral("Home"), QStringLiteral("pw")));
    // No trailing semicolons at all; whole characters beyond the BMP.
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:Café 🇫🇷;P:p\u00e4ss👍🏽")),
              network(QStringLiteral("Café 🇫🇷"), QStringLiteral("p\u00e4ss👍🏽")));
}

TEST(PayloadClassification, WifiWithoutPasswordIsOpenAndWithoutNameNothing)
{
    EXPECT_EQ(wifi(QStringLiteral("WIFI:T:WPA;S:Cafe;;")), network(QStringLiteral("Cafe")));
    EXPECT_EQ(wifi(QStringLiteral("WIFI:T:nopass;S:Cafe;P:;")), network(QStringLiteral("Cafe")));
    EXPECT_EQ(wifi(QStringLiteral("WIFI:T:WPA;P:secret;;")), std::nullopt);
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:;P:secret;;")), std::nullopt);
    EXPECT_EQ(wifi(QStringLiteral("WIFI:")), std::nullopt);
    // Not classified as Wi-Fi: never parsed, even with Wi-Fi fields inside.
    EXPECT_EQ(wifiCredentials(QStringLiteral("WIFI:S:Home;;"), CodeKind::text), std::nullopt);
}

TEST(PayloadClassification, WifiEscapesAndFieldEnds)
{
    // Escaped semicolon, colon, comma and backslash are literal.
    EXPECT_EQ(wifi(QStringLiteral(R"(WIFI:S:a\;b\:c\,d\\e;P:x;;)")),
              network(QStringLiteral(R"(a;b:c,d\e)"), QStringLiteral("x")));
    // An unescaped semicolon not followed by a key, another semicolon or the end is part of the
    // value.
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:one;two;P:pw;;")),
              network(QStringLiteral("one;two"), QStringLiteral("pw")));
    // A lower-case letter and colon is not a key.
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:net;p:low;;")), network(QStringLiteral("net;p:low")));
    // A backslash at the very end stays a backslash.
    EXPECT_EQ(wifi(QStringLiteral("WIFI:P:pw;S:end\\")),
              network(QStringLiteral("end\\"), QStringLiteral("pw")));
    // A field's value may itself start with what looks like a key.
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:P:x;;")), network(QStringLiteral("P:x")));
}

TEST(PayloadClassification, WifiRepeatedKeysKeepTheLastAndUnknownKeysStopReading)
{
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:first;P:a;S:second;P:b;;")),
              network(QStringLiteral("second"), QStringLiteral("b")));
    // An empty repeat replaces too, which makes the network nameless.
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:first;S:;;")), std::nullopt);
    // "X:" is not a key: after a field's end the loop stops there, so the name after it is never
    // read; after a lone semicolon it is simply part of the value.
    EXPECT_EQ(wifi(QStringLiteral("WIFI:T:WPA;;X:1;S:Home;;")), std::nullopt);
    EXPECT_EQ(wifi(QStringLiteral("WIFI:T:WPA;X:1;S:Home;;")), network(QStringLiteral("Home")));
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:Home;P:pw;;X:1;P:other;;")),
              network(QStringLiteral("Home"), QStringLiteral("pw")));
    // A payload that does not start with a key has no fields.
    EXPECT_EQ(wifi(QStringLiteral("WIFI: S:Home;;")), std::nullopt);
}

TEST(PayloadClassification, VeryLongPayloadsFinishPromptly)
{
    // Quadratic work here would take minutes; linear work takes milliseconds.
    const QString longName(200000, u'a');
    const QString escapes = QStringLiteral("\\;").repeated(100000);
    const QString semicolons = QStringLiteral("x;").repeated(100000);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:") + longName + QStringLiteral(";;")),
              (WifiCredentials{longName, std::nullopt}));
    ASSERT_TRUE(wifi(QStringLiteral("WIFI:S:") + escapes).has_value());
    EXPECT_EQ(wifi(QStringLiteral("WIFI:S:") + escapes)->ssid.size(), 100000);
    ASSERT_TRUE(wifi(QStringLiteral("WIFI:S:") + semicolons).has_value());
    EXPECT_EQ(classifyPayload(QStringLiteral("https://example.com/") + longName), CodeKind::url);
    EXPECT_EQ(classifyPayload(QString(500000, QChar(0xD800))), CodeKind::text);
    // A generous bound that only a runaway loop could exceed.
    EXPECT_LT(timer.elapsed(), 60000);
}
