// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TesseractEngine.h"

#include "KeloLens/Recognition/GridText.h"
#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/TextAssembly.h"
#include "samples/SampleImages.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QStringList english = {QStringLiteral("eng")};

std::optional<TextReading> read(const TesseractEngine &engine, const QImage &image, int workers = 0,
                                std::optional<std::chrono::milliseconds> deadline = {})
{
    TextPassLimits limits;
    limits.workers = workers;
    limits.deadline = deadline;
    return engine.read(ImagePreparation::prepareForText(image),
                       RecognitionLanguages::dataDirectory(), english, limits);
}

QStringList textsOf(const QList<RecognizedLine> &lines)
{
    QStringList texts;
    for (const RecognizedLine &line : lines) {
        texts.append(line.text);
    }
    return texts;
}

// The visual lines, top to bottom: the engine may read part of a row as a block of its own.
QStringList rowsOf(const QList<RecognizedLine> &lines)
{
    return textsOf(groupRows(lines));
}

// A page of numbered lines, in paragraphs of five.
QStringList pageLines(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && i % 5 == 0) {
            lines.append(QString());
        }
        lines.append(QStringLiteral("Line %1 of the page, with a few more words in it").arg(i));
    }
    return lines;
}

int processThreads()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

} // namespace

TEST(TesseractEngine, SeveralEnginesReadTheSameLinesAsOneAndLeaveNoThreadsBehind)
{
    if (QThread::idealThreadCount() < 2) {
        GTEST_SKIP() << "one core: the engines would not start helper threads anyway";
    }
    ASSERT_TRUE(TesseractEngine::canLimitEngineThreads());
    const QStringList lines = pageLines(40);
    const QImage page = SampleImages::text(lines, SampleImages::textStyle(13));
    TesseractEngine engine;
    const int before = processThreads();
    const auto one = read(engine, page, 1);
    const auto three = read(engine, page, 3);
    // Neither our engines nor OpenMP's pool stay: the threads went with the pass.
    EXPECT_EQ(processThreads(), before);
    ASSERT_TRUE(one && three);
    EXPECT_EQ(rowsOf(one->lines), QStringList(lines).filter(QRegularExpression(".")));
    EXPECT_EQ(rowsOf(three->lines), rowsOf(one->lines));
    EXPECT_TRUE(one->isComplete && three->isComplete);
}

TEST(TesseractEngine, ADeadlineKeepsTheRowsReadBeforeItAndSaysSoOnce)
{
    const QStringList lines = pageLines(60).filter(QRegularExpression("."));
    const QImage page = SampleImages::text(lines, SampleImages::textStyle(13));
    TesseractEngine engine;
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(read(engine, page, 1));
    const auto whole = std::chrono::milliseconds(timer.elapsed());

    // The machine's load changes between reads, so one cut may land before the first row or after
    // the last; a few tries find one in between.
    bool keptSomeRows = false;
    for (const double share : {0.5, 0.3, 0.7, 0.2}) {
        const KeloTest::LogCapture log;
        const auto cut = read(engine, page, 1,
                              std::chrono::duration_cast<std::chrono::milliseconds>(whole * share));
        ASSERT_TRUE(cut);
        if (cut->isComplete) {
            continue;
        }
        EXPECT_EQ(log.lines().filter(QStringLiteral("deadline")).size(), 1);
        // The rows read come first and whole; the row under way and those after are left out.
        const QStringList rows = rowsOf(cut->lines);
        ASSERT_LT(rows.size(), lines.size());
        EXPECT_EQ(rows, lines.mid(0, rows.size()));
        if (!rows.isEmpty()) {
            keptSomeRows = true;
            break;
        }
    }
    EXPECT_TRUE(keptSomeRows);
}

TEST(TesseractEngine, KeepsTheEndOfALineThatLayoutAnalysisLeftOut)
{
    // Program text as a terminal draws it. The page layout puts "= 7;" in a column of its own
    // and drops it as noise.
    const QString query = QStringLiteral("SELECT name, email FROM users WHERE id = 7;");
    SampleImages::TextStyle terminal =
        SampleImages::textStyle(10, {QColor(12, 42, 18), QColor(111, 224, 138)});
    terminal.family = QStringLiteral("Liberation Mono");
    terminal.lineSpacing = 1.4;
    const auto reading =
        read(TesseractEngine(), SampleImages::text({query, query}, terminal, 0, QPoint(14, 12)));
    ASSERT_TRUE(reading);
    EXPECT_EQ(textsOf(reading->lines), QStringList({query, query}));
    for (const RecognizedLine &line : reading->lines) {
        EXPECT_GT(line.box.maxX(), 0.9);
    }
}

TEST(GridText, MovesTheEndOfAWordPlacedACellOffOntoItsInk)
{
    // The engine read "z = 1;" in small type with "1;" one cell to the left, the "1" on the
    // space before it.
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(28);
    const double cell = QFontMetricsF(font).horizontalAdvance(QLatin1Char('z'));
    QImage image(int(10 * cell), 50, QImage::Format_Grayscale8);
    image.fill(255);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.drawText(QPointF(cell, 36), QStringLiteral("z = 1;"));
    }
    LineReading line;
    line.box = line.inkBox = QRect(int(cell), 10, int(6 * cell), 34);
    line.baseline = 36;
    line.wordBoxes = {line.box};
    const QList<QPair<QString, int>> placed = {{"z", 1}, {"=", 3}, {"1", 4}, {";", 5}};
    for (const auto &[character, at] : placed) {
        line.symbols.append({character, QRect(int(at * cell) + 3, 14, int(cell) - 6, 22), 0});
    }
    int firstCell = 0;
    EXPECT_EQ(GridText::textOnGrid(image, line, {0, cell}, {}, firstCell),
              QStringLiteral("z = 1;"));
    EXPECT_EQ(firstCell, 1);
}
