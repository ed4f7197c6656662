// SPDX-License-Identifier: GPL-3.0-or-later
// kelolens-sample: draws a small screen-like picture (two paragraphs, a link, a QR code) into the
// PNG file given, so the recognizer has something to read before a real capture exists.

#include "samples/SampleImages.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kelolens-sample OUTPUT.png\n", stderr);
        return 2;
    }
    SampleImages::TextStyle style;
    style.theme = {QColor(250, 250, 250), QColor(30, 30, 30)};
    style.lineSpacing = 22.0 / 14;
    QImage image = SampleImages::text(
        {
            QStringLiteral("KeloLens reads the text on your screen."),
            QStringLiteral("Drag a rectangle and the words go straight"),
            QStringLiteral("to the clipboard."),
            QString(),
            QStringLiteral("Questions? Write to help@example.org or"),
            QStringLiteral("visit https://example.org/kelolens"),
        },
        style, 640, QPoint(24, 24));
    QPainter painter(&image);
    painter.drawImage(460, 60,
                      SampleImages::code("https://example.org/kelolens",
                                         ZXing::BarcodeFormat::QRCode, 4, style.theme, 0, 2));
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "kelolens-sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
