#include "KeloLens/Recognition/BarcodeEngine.h"

#include "KeloLens/Recognition/AztecBullseyes.h"

#include <QPainter>

#include <cmath>

// Text as UTF-8 rather than the deprecated wide string.
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

namespace {

QString shortName(ZXing::BarcodeFormat format)
{
    using ZXing::BarcodeFormat;
    switch (format) {
    case BarcodeFormat::QRCode:
        return QStringLiteral("QR");
    case BarcodeFormat::MicroQRCode:
        return QStringLiteral("MicroQR");
    case BarcodeFormat::Aztec:
        return QStringLiteral("Aztec");
    case BarcodeFormat::DataMatrix:
        return QStringLiteral("DataMatrix");
    case BarcodeFormat::PDF417:
        return QStringLiteral("PDF417");
    case BarcodeFormat::Code128:
        return QStringLiteral("Code128");
    case BarcodeFormat::Code39:
        return QStringLiteral("Code39");
    case BarcodeFormat::Code93:
        return QStringLiteral("Code93");
    case BarcodeFormat::Codabar:
        return QStringLiteral("Codabar");
    case BarcodeFormat::EAN8:
        return QStringLiteral("EAN8");
    case BarcodeFormat::EAN13:
        return QStringLiteral("EAN13");
    case BarcodeFormat::UPCA:
        return QStringLiteral("UPCA");
    case BarcodeFormat::UPCE:
        return QStringLiteral("UPCE");
    case BarcodeFormat::ITF:
        return QStringLiteral("ITF");
    case BarcodeFormat::DataBar:
        return QStringLiteral("DataBar");
    case BarcodeFormat::DataBarExpanded:
        return QStringLiteral("DataBarExpanded");
    case BarcodeFormat::MaxiCode:
        return QStringLiteral("MaxiCode");
    default:
        return QString::fromStdString(ZXing::ToString(format));
    }
}

// The reader reports one symbol of some kinds per look, and a QR code's finder patterns can hide
// an Aztec code's bullseye; so the symbols found are painted over with the background and the
// image is read again, until a look finds nothing new.
constexpr int kMaxLooks = 4;

void appendCodes(QImage &grey, QList<BarcodeObservation> &observations)
{
    for (int look = 0; look < kMaxLooks; ++look) {
        const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                                    ZXing::ImageFormat::Lum, int(grey.bytesPerLine()));
        const ZXing::Results results = ZXing::ReadBarcodes(view);
        bool isAnythingNew = false;
        QPainter painter(&grey);
        painter.setPen(QPen(Qt::white, 6));
        painter.setBrush(Qt::white);
        for (const ZXing::Result &result : results) {
            if (!result.isValid())
                continue;
            const BarcodeObservation observation{shortName(result.format()),
                                                 QString::fromStdString(result.text())};
            if (!observations.contains(observation)) {
                observations.append(observation);
                isAnythingNew = true;
            }
            QPolygon outline;
            for (const ZXing::PointI &corner : result.position())
                outline << QPoint(corner.x, corner.y);
            painter.drawPolygon(outline);
        }
        if (!isAnythingNew)
            return;
    }
}

// Aztec codes away from the middle of the image, looked for around each likely bullseye.
constexpr int kMaxBullseyes = 6;
// The widest Aztec code is 151 modules.
constexpr double kAztecReachModules = 80;
// Keeps the window for a giant code (or a striped picture taken for one) to a few megapixels.
constexpr int kMaxAztecReach = 1200;

void appendOffCentreAztecCodes(const QImage &grey, QList<BarcodeObservation> &observations)
{
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Aztec);
    for (const AztecBullseye &bullseye : AztecBullseyes::find(grey, kMaxBullseyes)) {
        const int reach =
            std::min(kMaxAztecReach, int(std::ceil(bullseye.moduleSize * kAztecReachModules)));
        QImage window(2 * reach + 1, 2 * reach + 1, QImage::Format_Grayscale8);
        if (window.isNull())
            continue;
        window.fill(Qt::white);
        QPainter painter(&window);
        painter.drawImage(QPoint(reach, reach) - bullseye.centre, grey);
        painter.end();
        const ZXing::ImageView view(window.constBits(), window.width(), window.height(),
                                    ZXing::ImageFormat::Lum, int(window.bytesPerLine()));
        for (const ZXing::Result &result : ZXing::ReadBarcodes(view, hints)) {
            const BarcodeObservation observation{shortName(result.format()),
                                                 QString::fromStdString(result.text())};
            if (result.isValid() && !observations.contains(observation))
                observations.append(observation);
        }
    }
}

} // namespace

namespace BarcodeEngine {

QList<BarcodeObservation> readCodes(const QImage &image)
{
    QList<BarcodeObservation> observations;
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return observations;
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull())
        return observations;
    try {
        QImage inverted = grey;
        inverted.invertPixels();
        appendCodes(grey, observations);
        appendOffCentreAztecCodes(grey, observations);
        appendCodes(inverted, observations);
        appendOffCentreAztecCodes(inverted, observations);
    } catch (...) {
        // A reader failure contributes what was found before it.
    }
    return observations;
}

} // namespace BarcodeEngine
