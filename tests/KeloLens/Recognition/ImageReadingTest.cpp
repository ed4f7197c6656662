// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ImageReading.h"

#include "KeloLens/Recognition/Recognizer.h"
#include "samples/SampleImages.h"

#include <QCoro/QCoroTask>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ImageReading, ReadsA48MegapixelCaptureToItsFarCorner)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Three 5K screens side by side hold about 44 megapixels; Qt alone refuses more than 33.
    QImage screens(8000, 6000, QImage::Format_RGB32);
    screens.fill(Qt::white);
    QPainter painter(&screens);
    painter.drawImage(6500, 5200,
                      SampleImages::text({QStringLiteral("The far corner of the third screen")},
                                         SampleImages::textStyle(16)));
    painter.drawImage(7600, 5600, SampleImages::qrCode("https://example.org/far"));
    painter.end();
    const QString path = dir.filePath(QStringLiteral("screens.png"));
    ASSERT_TRUE(screens.save(path, "PNG", 0));
    screens = QImage();

    const ImageReading::Outcome read = ImageReading::read(path);
    ASSERT_FALSE(read.image.isNull()) << read.error.toStdString();
    EXPECT_EQ(read.image.size(), QSize(8000, 6000));
    Recognizer recognizer;
    const RecognitionResult result =
        QCoro::waitFor(recognizer.recognize(read.image, {QStringLiteral("en")}, {}));
    EXPECT_EQ(result.text, QStringLiteral("The far corner of the third screen"));
    ASSERT_EQ(result.codes.size(), 1);
    EXPECT_EQ(result.codes[0].payload, QStringLiteral("https://example.org/far"));
}
