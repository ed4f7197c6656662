#include "KeloLens/Recognition/BarcodeEngine.h"

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

void appendCodes(const QImage &grey, QList<BarcodeObservation> &observations)
{
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                                ZXing::ImageFormat::Lum, int(grey.bytesPerLine()));
    for (const ZXing::Result &result : ZXing::ReadBarcodes(view)) {
        if (result.isValid())
            observations.append({shortName(result.format()), QString::fromStdString(result.text())});
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
        appendCodes(grey, observations);
        grey.invertPixels();
        appendCodes(grey, observations);
    } catch (...) {
        // A reader failure contributes what was found before it.
    }
    return observations;
}

} // namespace BarcodeEngine
