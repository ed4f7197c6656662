// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ImageReading.h"

#include "KeloLens/Recognition/Recognizer.h"
#include "support/SampleImages.h"

#include <QCoro/QCoroTask>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ImageReading, ReadsA48MegapixelCaptureAndRefusesOnesBeyondItsCap)
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

    // A header promising more than the cap is refused before anything is decoded.
    const QString huge = dir.filePath(QStringLiteral("huge.ppm"));
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("P6\n30720 8640\n255\n");
    file.close();
    const ImageReading::Outcome refused = ImageReading::read(huge);
    EXPECT_TRUE(refused.image.isNull());
    EXPECT_TRUE(refused.isTooLarge);
    EXPECT_TRUE(refused.error.contains(QStringLiteral("30720 x 8640")))
        << refused.error.toStdString();
}
