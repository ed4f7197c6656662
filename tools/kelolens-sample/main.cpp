// kelolens-sample: draws a small screen-like picture (two paragraphs, a link, a QR code) into the
// PNG file given, so the recognizer has something to read before a real capture exists.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <cstdio>

namespace {

QImage qrCode(const std::string &payload, int moduleSize)
{
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode).setMargin(2).encode(payload, 0, 0);
    QImage image(matrix.width() * moduleSize, matrix.height() * moduleSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            if (matrix.get(x, y))
                painter.fillRect(x * moduleSize, y * moduleSize, moduleSize, moduleSize, Qt::black);
        }
    }
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kelolens-sample OUTPUT.png\n", stderr);
        return 2;
    }
    QImage image(640, 300, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(QColor(30, 30, 30));
    const QStringList lines = {
        QStringLiteral("KeloLens reads the text on your screen."),
        QStringLiteral("Drag a rectangle and the words go straight"),
        QStringLiteral("to the clipboard."),
        QString(),
        QStringLiteral("Questions? Write to help@example.org or"),
        QStringLiteral("visit https://example.org/kelolens"),
    };
    int y = 40;
    for (const QString &line : lines) {
        painter.drawText(24, y, line);
        y += 22;
    }
    painter.drawImage(460, 60, qrCode("https://example.org/kelolens", 4));
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "kelolens-sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
