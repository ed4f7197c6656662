#include "KeloLens/Recognition/TesseractEngine.h"

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "RecognitionFixtures.h"

#include <QFile>
#include <QFontMetrics>
#include <QThread>
#include <gtest/gtest.h>

namespace {

int processThreads()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

} // namespace

TEST(TesseractEngine, ReadsOnTheCallingThreadAlone)
{
    if (QThread::idealThreadCount() < 2)
        GTEST_SKIP() << "one core: the engine would not start helper threads anyway";
    ASSERT_TRUE(TesseractEngine::canLimitThreads());
    const PreparedImage prepared = ImagePreparation::prepareForText(
        Fixtures::renderText({QStringLiteral("Several lines of text, enough for the engine"),
                              QStringLiteral("to split its work between threads if it may.")},
                             Fixtures::light, 13));
    const int before = processThreads();
    ASSERT_GT(before, 0);
    const auto lines = TesseractEngine::recognizeLines(
        prepared, RecognitionLanguages::dataDirectory(), {QStringLiteral("eng")});
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->size(), 2);
    EXPECT_EQ(processThreads(), before);
}

TEST(TesseractEngine, MissingOrUnusableLanguageDataIsAFailureNotACrash)
{
    const PreparedImage prepared = ImagePreparation::prepareForText(
        Fixtures::renderText({QStringLiteral("Words")}, Fixtures::light));
    EXPECT_FALSE(TesseractEngine::recognizeLines(prepared, RecognitionLanguages::dataDirectory(),
                                                 {QStringLiteral("doesnotexist")}));
    EXPECT_FALSE(
        TesseractEngine::recognizeLines(prepared, RecognitionLanguages::dataDirectory(), {}));
    EXPECT_FALSE(TesseractEngine::recognizeLines(
        PreparedImage{}, RecognitionLanguages::dataDirectory(), {QStringLiteral("eng")}));
    EXPECT_FALSE(TesseractEngine::recognizeLines(prepared, QStringLiteral("/nonexistent/tessdata"),
                                                 {QStringLiteral("eng")}));
    // A working call afterwards is unaffected.
    EXPECT_TRUE(TesseractEngine::recognizeLines(prepared, RecognitionLanguages::dataDirectory(),
                                                {QStringLiteral("eng")}));
}

namespace {

// Program text as a terminal draws it: a small monospace font, light on dark.
QImage terminalText(const QStringList &lines)
{
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPixelSize(10);
    const QFontMetrics metrics(font);
    int width = 0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int lineHeight = 14;
    QImage image(width + 28, 24 + lineHeight * int(lines.size()), QImage::Format_RGB32);
    image.fill(QColor(12, 42, 18));
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(111, 224, 138));
    int y = 12;
    for (const QString &line : lines) {
        painter.drawText(QRect(14, y, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineHeight;
    }
    return image;
}

QStringList textsOf(const QList<RecognizedLine> &lines)
{
    QStringList texts;
    for (const RecognizedLine &line : lines)
        texts.append(line.text);
    return texts;
}

} // namespace

TEST(TesseractEngine, KeepsTheEndOfALineThatLayoutAnalysisLeftOut)
{
    // The page layout puts "= 7;" in a column of its own and drops it as noise.
    const QString query = QStringLiteral("SELECT name, email FROM users WHERE id = 7;");
    const auto lines = TesseractEngine::recognizeLines(
        ImagePreparation::prepareForText(terminalText({query, query})),
        RecognitionLanguages::dataDirectory(), {QStringLiteral("eng")});
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(textsOf(*lines), QStringList({query, query}));
    for (const RecognizedLine &line : *lines)
        EXPECT_GT(line.box.maxX(), 0.9);
}

TEST(TesseractEngine, APictureBesideALineAddsNothingToIt)
{
    const QImage text = Fixtures::renderText({QStringLiteral("Scan the code to join")},
                                             Fixtures::light, 13, 200, 4, 40);
    const QImage capture = Fixtures::sideBySide(
        {text, Fixtures::qrCode("https://example.org/join", Fixtures::light)}, Fixtures::light);
    const auto lines = TesseractEngine::recognizeLines(ImagePreparation::prepareForText(capture),
                                                       RecognitionLanguages::dataDirectory(),
                                                       {QStringLiteral("eng")});
    ASSERT_TRUE(lines.has_value());
    ASSERT_FALSE(lines->isEmpty());
    EXPECT_EQ(lines->first().text, QStringLiteral("Scan the code to join"));
}
