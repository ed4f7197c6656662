#pragma once

// Images for the recognition tests, drawn the way a screen draws them: anti-aliased text in a
// system font, and codes from ZXing's writer.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <string>

namespace Fixtures {

struct Theme
{
    QColor background;
    QColor text;
};

inline const Theme light{QColor(255, 255, 255), QColor(20, 20, 20)};
inline const Theme dark{QColor(30, 30, 30), QColor(212, 212, 212)};

// Lines drawn top to bottom at 1.5 line height; an empty string leaves a paragraph gap.
inline QImage renderText(const QStringList &lines, const Theme &theme, int pixelSize = 14,
                         int width = 640, int left = 16, int top = 16)
{
    const int lineHeight = pixelSize * 3 / 2;
    QImage image(width, top * 2 + lineHeight * int(lines.size()), QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(theme.text);
    int y = top;
    for (const QString &line : lines) {
        painter.drawText(QRect(left, y, width - left, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         line);
        y += lineHeight;
    }
    return image;
}

inline QImage codeImage(const std::string &payload, ZXing::BarcodeFormat format, int moduleSize,
                        const Theme &theme, int height = 0)
{
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(format).setMargin(0).encode(payload, 0, height);
    const int quiet = 4 * moduleSize;
    QImage image(matrix.width() * moduleSize + 2 * quiet,
                 matrix.height() * (height > 0 ? 1 : moduleSize) + 2 * quiet, QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    const int rowHeight = height > 0 ? 1 : moduleSize;
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            if (matrix.get(x, y))
                painter.fillRect(quiet + x * moduleSize, quiet + y * rowHeight, moduleSize,
                                 rowHeight, theme.text);
        }
    }
    return image;
}

inline QImage qrCode(const std::string &payload, const Theme &theme, int moduleSize = 4)
{
    return codeImage(payload, ZXing::BarcodeFormat::QRCode, moduleSize, theme);
}

// Pictures placed side by side on one background.
inline QImage sideBySide(const QList<QImage> &parts, const Theme &theme)
{
    int width = 16;
    int height = 0;
    for (const QImage &part : parts) {
        width += part.width() + 16;
        height = std::max(height, part.height());
    }
    QImage image(width, height + 32, QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    int x = 16;
    for (const QImage &part : parts) {
        painter.drawImage(x, 16, part);
        x += part.width() + 16;
    }
    return image;
}

} // namespace Fixtures
