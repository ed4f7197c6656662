// SPDX-License-Identifier: GPL-3.0-or-later
#include "samples/SampleImages.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList &arguments)
{
    QProcess process;
    process.start(
        QStringLiteral(KELO_TEST_BINARY_DIR "/tools/kelolens-recognize/kelolens-recognize"),
        arguments);
    ToolRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class RecognizeTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_image = m_dir.filePath(QStringLiteral("screen.png"));
        const QImage text =
            SampleImages::text({QStringLiteral("Meeting notes for Tuesday"), QString(),
                                QStringLiteral("Call +1 555 0100 after lunch")},
                               {}, 360);
        ASSERT_TRUE(
            SampleImages::sideBySide({text, SampleImages::qrCode("https://example.org/notes")})
                .save(m_image));
    }

    QTemporaryDir m_dir;
    QString m_image;
};

} // namespace

TEST_F(RecognizeTool, PrintsTheTextThenEachCodeAfterABlankLine)
{
    const ToolRun run = runTool({QStringLiteral("--languages"), QStringLiteral("en"), m_image});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("Meeting notes for Tuesday\n\nCall +1 555 0100 after lunch\n"
                                      "\nhttps://example.org/notes\n"));

    const ToolRun withoutCodes =
        runTool({QStringLiteral("--no-codes"), QStringLiteral("--join-paragraphs"), m_image});
    EXPECT_EQ(withoutCodes.status, 0);
    EXPECT_EQ(withoutCodes.out,
              QStringLiteral("Meeting notes for Tuesday\n\nCall +1 555 0100 after lunch\n"));
}

TEST_F(RecognizeTool, PrintsOneJsonObjectPerImage)
{
    const ToolRun run =
        runTool({QStringLiteral("--json"), QStringLiteral("--languages=en"), m_image, m_image});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], lines[1]);
    const QJsonObject object = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(object.value(QStringLiteral("image")).toString(), m_image);
    EXPECT_EQ(object.value(QStringLiteral("paragraphs")).toArray().size(), 2);
    const QJsonObject code = object.value(QStringLiteral("codes")).toArray().at(0).toObject();
    EXPECT_EQ(code.value(QStringLiteral("payload")).toString(),
              QStringLiteral("https://example.org/notes"));
    EXPECT_EQ(code.value(QStringLiteral("kind")).toString(), QStringLiteral("url"));
}

TEST_F(RecognizeTool, UnreadableImagesFailWithAMessageAndBadUsageWithStatusTwo)
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.png"));
    const QString corrupt = m_dir.filePath(QStringLiteral("corrupt.png"));
    QFile file(corrupt);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n garbage");
    file.close();

    const ToolRun run = runTool({QStringLiteral("--json"), missing, corrupt, m_image});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(missing)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(corrupt)) << run.err.toStdString();
    // The readable image is still read.
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 1);

    EXPECT_EQ(runTool({}).status, 2);
    EXPECT_EQ(runTool({QStringLiteral("--frobnicate"), m_image}).status, 2);
    EXPECT_EQ(runTool({QStringLiteral("--languages")}).status, 2);
    EXPECT_EQ(runTool({QStringLiteral("--languages="), m_image}).status, 2);
}

TEST(RecognizeToolText, PrintsTheChipsOfPlainTextAndRefusesBadUsage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "Docs at https://example.com/a, or mail Ada@Example.com.\nNot links: file.txt v1.2\n");
    file.close();

    const ToolRun run = runTool({QStringLiteral("--chips"), QStringLiteral("--text"), path});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(lines.at(0).toUtf8()).object().value("id").toString(),
              QStringLiteral("https://example.com/a"));
    EXPECT_EQ(QJsonDocument::fromJson(lines.at(1).toUtf8()).object().value("label").toString(),
              QStringLiteral("Ada@Example.com"));

    EXPECT_EQ(
        runTool({QStringLiteral("--text"), dir.filePath(QStringLiteral("missing.txt"))}).status, 1);
    EXPECT_EQ(runTool({QStringLiteral("--text"), path, path}).status, 2);
    EXPECT_EQ(runTool({QStringLiteral("--json"), QStringLiteral("--chips"), path}).status, 2);
}
