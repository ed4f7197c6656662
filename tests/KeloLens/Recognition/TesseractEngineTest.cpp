#include "KeloLens/Recognition/TesseractEngine.h"

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "RecognitionFixtures.h"

#include <QFile>
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
