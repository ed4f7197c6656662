#include "KeloLens/Recognition/PayloadClassification.h"
#include "KeloLens/Recognition/TextAssembly.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <limits>

// Random and mutated inputs through the three parsers: nothing may crash, hang, or break the
// results' basic promises. A fixed seed keeps failures reproducible.

namespace {

const QStringList seeds = {
    QStringLiteral("WIFI:T:WPA;S:Home;P:secret;;"),
    QStringLiteral("WIFI:S:a\\;b;P:\\"),
    QStringLiteral("BEGIN:VCARD\nFN:Ada\nEND:VCARD"),
    QStringLiteral("https://example.com/path?q=1#f"),
    QStringLiteral("recog-"),
    QStringLiteral("Straße 🇫🇷 e\u0301"),
};

QString randomString(QRandomGenerator &rng, int maxLength)
{
    const int length = int(rng.bounded(maxLength + 1));
    QString s;
    s.reserve(length);
    for (int i = 0; i < length; ++i) {
        switch (rng.bounded(6)) {
        case 0: // lone surrogates and other invalid UTF-16
            s.append(QChar(char16_t(0xD800 + rng.bounded(0x800))));
            break;
        case 1:
            s.append(QChar(char16_t(rng.bounded(0x10000))));
            break;
        case 2:
            s.append(QLatin1Char("WIFSPTHEA:;\\-,"[rng.bounded(14)]));
            break;
        case 3:
            s.append(QChar(char16_t(0x0300 + rng.bounded(0x70)))); // combining marks
            break;
        default:
            s.append(QChar(char16_t(0x20 + rng.bounded(0x5f))));
            break;
        }
    }
    return s;
}

QString mutate(QRandomGenerator &rng, QString s)
{
    const int edits = 1 + int(rng.bounded(4));
    for (int i = 0; i < edits; ++i) {
        const qsizetype at = s.isEmpty() ? 0 : qsizetype(rng.bounded(int(s.size())));
        switch (rng.bounded(3)) {
        case 0:
            s.insert(at, randomString(rng, 4));
            break;
        case 1:
            s.remove(at, 1 + rng.bounded(3));
            break;
        default:
            if (!s.isEmpty()) {
                s[at] = QChar(char16_t(rng.bounded(0x10000)));
            }
            break;
        }
    }
    return s;
}

double randomCoordinate(QRandomGenerator &rng)
{
    switch (rng.bounded(12)) {
    case 0:
        return std::numeric_limits<double>::quiet_NaN();
    case 1:
        return std::numeric_limits<double>::infinity();
    case 2:
        return -rng.generateDouble();
    default:
        return rng.generateDouble();
    }
}

std::optional<WifiCredentials> wifi(const QString &payload)
{
    return wifiCredentials(payload, classifyPayload(payload));
}

void checkPayload(const QString &payload)
{
    const CodeKind kind = classifyPayload(payload);
    const std::optional<WifiCredentials> credentials = wifiCredentials(payload, kind);
    if (credentials) {
        EXPECT_EQ(kind, CodeKind::wifi);
        EXPECT_FALSE(credentials->ssid.isEmpty());
        EXPECT_TRUE(!credentials->password || !credentials->password->isEmpty());
    }
}

} // namespace

TEST(ParserFuzz, PayloadParsersSurviveRandomAndMutatedInput)
{
    QRandomGenerator rng(20261206);
    for (int i = 0; i < 4000; ++i) {
        checkPayload(randomString(rng, 64));
        checkPayload(mutate(rng, seeds.at(rng.bounded(int(seeds.size())))));
        checkPayload(QStringLiteral("WIFI:") + mutate(rng, QStringLiteral("S:x;P:y;;")));
    }
}

TEST(ParserFuzz, VeryLongPayloadsFinishPromptly)
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

TEST(ParserFuzz, TextAssemblySurvivesRandomGeometryAndText)
{
    QRandomGenerator rng(42);
    for (int round = 0; round < 300; ++round) {
        QList<RecognizedLine> lines;
        const int count = int(rng.bounded(40));
        for (int i = 0; i < count; ++i) {
            lines.append({randomString(rng, 12),
                          ExactRect{randomCoordinate(rng), randomCoordinate(rng),
                                    randomCoordinate(rng) * 0.2, randomCoordinate(rng) * 0.1}});
        }
        const QList<Paragraph> paragraphs = groupParagraphs(lines);
        qsizetype rows = 0;
        for (const Paragraph &p : paragraphs) {
            EXPECT_FALSE(p.lines.isEmpty());
            rows += p.lines.size();
        }
        EXPECT_EQ(rows, groupRows(lines).size());
        EXPECT_LE(rows, lines.size());
        for (const LineBreakMode mode : allLineBreakModes()) {
            const QString text = assembleText(paragraphs, mode, rng.bounded(2) == 1);
            if (paragraphs.isEmpty()) {
                EXPECT_TRUE(text.isEmpty());
            }
        }
    }

    // Thousands of lines stay fast: one long column of rows, every row ending in a hyphen.
    QList<RecognizedLine> column;
    for (int i = 0; i < 20000; ++i) {
        column.append({QStringLiteral("word-"), ExactRect{0.0, 1.0 - i * 0.00004, 0.5, 0.00003}});
    }
    const QList<Paragraph> paragraphs = groupParagraphs(column);
    ASSERT_EQ(paragraphs.size(), 1);
    EXPECT_EQ(assembleText(paragraphs, LineBreakMode::keepLines, true).size(), 20000 * 4 + 1);
}
