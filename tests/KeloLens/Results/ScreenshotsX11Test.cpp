// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/Platform.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString toolPath =
    QStringLiteral(KELO_TEST_BINARY_DIR "/tools/kelolens-screenshots/kelolens-screenshots");
const QStringList expectedFiles = {
    QStringLiteral("panel-light.png"),       QStringLiteral("panel-dark.png"),
    QStringLiteral("panel-wifi.png"),        QStringLiteral("panel-codes.png"),
    QStringLiteral("panel-allow-paste.png"), QStringLiteral("toast.png"),
    QStringLiteral("toast-action.png"),      QStringLiteral("toast-dark.png"),
};

bool runTool(const QString &output, const QStringList &extra = {})
{
    QProcess tool;
    tool.start(toolPath, QStringList{QStringLiteral("--output"), output} + extra);
    return tool.waitForFinished(120000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

// A picture of a window, not of an empty screen: many colours (text, icons, gradients).
qsizetype colorCount(const QImage &image)
{
    QSet<QRgb> colors;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            colors.insert(image.pixel(x, y));
        }
    }
    return colors.size();
}

} // namespace

TEST(Screenshots, AreMadeWithAndWithoutACompositorAndShowSomething)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir plain(root.filePath(QStringLiteral("plain")));
    const QDir composited(root.filePath(QStringLiteral("composited")));
    ASSERT_TRUE(runTool(plain.path()));

    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), {QStringLiteral("-n")});
    ASSERT_TRUE(compositor.waitForStarted());
    const bool made = runTool(composited.path(), {QStringLiteral("--expect-compositing")});
    compositor.terminate();
    compositor.waitForFinished();
    ASSERT_TRUE(made);

    for (const QString &file : expectedFiles) {
        for (const QDir &folder : {plain, composited}) {
            const QImage image(folder.filePath(file));
            ASSERT_FALSE(image.isNull()) << folder.filePath(file).toStdString();
            EXPECT_GT(colorCount(image), 40) << folder.filePath(file).toStdString();
        }
    }
    // The composited panel has room for its shadow around it.
    EXPECT_EQ(QImage(composited.filePath(expectedFiles[0])).width(),
              QImage(plain.filePath(expectedFiles[0])).width() + 56);
}
