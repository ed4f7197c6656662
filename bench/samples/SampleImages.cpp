// SPDX-License-Identifier: GPL-3.0-or-later
#include "samples/SampleImages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <algorithm>
#include <cmath>

namespace SampleImages {

QImage text(const QStringList &lines, const TextStyle &style, int width, QPoint margin)
{
    QFont font(style.family);
    font.setPixelSize(style.pixelSize);
    const QFontMetrics metrics(font);
    const int lineHeight = int(style.pixelSize * style.lineSpacing);
    const int gap = style.paragraphGap < 0 ? lineHeight : style.paragraphGap;
    int height = 2 * margin.y();
    int widest = 0;
    for (const QString &line : lines) {
        height += line.isEmpty() ? gap : lineHeight;
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    if (width <= 0) {
        width = widest + 2 * margin.x();
    }

    const int scale = std::max(1, style.scale);
    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(style.theme.background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(style.theme.text);
    int y = margin.y();
    for (const QString &line : lines) {
        if (line.isEmpty()) {
            y += gap;
            continue;
        }
        painter.drawText(QRect(margin.x(), y, width - margin.x(), lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineHeight;
    }
    painter.end();
    image.setDevicePixelRatio(1);
    return image;
}

QImage code(const std::string &payload, ZXing::BarcodeFormat format, int moduleSize,
            const Theme &theme, int barHeight, int quietModules)
{
    const bool isLinear = (int(format) & int(ZXing::BarcodeFormat::LinearCodes)) != 0;
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(format).setMargin(0).encode(payload, 0, isLinear ? barHeight : 0);
    const int rowHeight = isLinear ? 1 : moduleSize;
    const int quiet = (quietModules >= 0 ? quietModules : isLinear ? 10 : 4) * moduleSize;
    QImage image(matrix.width() * moduleSize + 2 * quiet, matrix.height() * rowHeight + 2 * quiet,
                 QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            if (matrix.get(x, y)) {
                painter.fillRect(quiet + x * moduleSize, quiet + y * rowHeight, moduleSize,
                                 rowHeight, theme.text);
            }
        }
    }
    return image;
}

QImage retailBarcode(const std::string &digits, int moduleSize)
{
    constexpr int quietModules = 10;
    const QImage bars = code(digits, ZXing::BarcodeFormat::EAN13, moduleSize, light,
                             60 * moduleSize, quietModules);
    const int quiet = quietModules * moduleSize;
    const int digitHeight = 12 * moduleSize;
    QImage image(bars.width(), bars.height() + digitHeight / 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawImage(0, 0, bars);
    // The digits take the lower end of the bars of each half; the guard bars run on beside them.
    const int top = bars.height() - quiet - digitHeight / 2;
    const QRect leftGroup(quiet + 3 * moduleSize, top, 42 * moduleSize, digitHeight);
    const QRect rightGroup(quiet + 50 * moduleSize, top, 42 * moduleSize, digitHeight);
    painter.fillRect(leftGroup, Qt::white);
    painter.fillRect(rightGroup, Qt::white);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(11 * moduleSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QString text = QString::fromStdString(digits);
    painter.drawText(QRect(quiet - 9 * moduleSize, top, 8 * moduleSize, digitHeight),
                     Qt::AlignCenter, text.left(1));
    painter.drawText(leftGroup, Qt::AlignCenter, text.mid(1, 6));
    painter.drawText(rightGroup, Qt::AlignCenter, text.mid(7, 6));
    return image;
}

QImage qrCode(const std::string &payload, const Theme &theme, int moduleSize)
{
    return code(payload, ZXing::BarcodeFormat::QRCode, moduleSize, theme);
}

QImage sideBySide(const QList<QImage> &parts, const Theme &theme, int gap)
{
    int width = gap;
    int height = 0;
    for (const QImage &part : parts) {
        width += part.width() + gap;
        height = std::max(height, part.height());
    }
    QImage image(width, height + 2 * gap, QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    int x = gap;
    for (const QImage &part : parts) {
        painter.drawImage(x, gap, part);
        x += part.width() + gap;
    }
    return image;
}

} // namespace SampleImages
