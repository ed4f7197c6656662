// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LostText.h"

#include "KeloLens/Recognition/RecognitionLanguages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>
#include <tesseract/baseapi.h>

TEST(LostText, APieceReadAgainAddsOnlyWhatWasNotReadBefore)
{
    // The keys beside a row already read were left out, with the rows above and below: all of
    // them are one piece of ink, and reading that piece again takes in the row read before,
    // which must not come out twice.
    const QString read = QStringLiteral("Capture shortcut");
    const QStringList others = {QStringLiteral("Press it anywhere, then drag over the text."),
                                QStringLiteral("Ctrl Shift 2"),
                                QStringLiteral("Select with the desktop's own tool")};
    QImage image(1000, 180, QImage::Format_Grayscale8);
    image.fill(255);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    const QFontMetrics metrics(font);
    const QRect readBox = metrics.tightBoundingRect(read).translated(40, 90);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(40, 50, others.at(0));
        painter.drawText(40, 90, read);
        painter.drawText(readBox.right() + 40, 90, others.at(1));
        painter.drawText(40, 130, others.at(2));
    }
    LineReading line;
    line.text = read;
    line.inkBox = readBox;
    line.box = readBox;
    QList<LineReading> lines{line};

    tesseract::TessBaseAPI engine;
    ASSERT_EQ(engine.Init(RecognitionLanguages::dataDirectory().toLocal8Bit().constData(), "eng",
                          tesseract::OEM_LSTM_ONLY),
              0);
    engine.SetImage(image.constBits(), image.width(), image.height(), 1, int(image.bytesPerLine()));
    engine.SetSourceResolution(192);
    LostText::readAgain(engine, image, lines, {}, PassLimit{});

    QStringList texts;
    for (const LineReading &found : lines) {
        texts.append(found.text);
    }
    EXPECT_EQ(texts.filter(read).size(), 1) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.filter(others.at(0)).size(), 1) << texts.join(u'|').toStdString();
}
