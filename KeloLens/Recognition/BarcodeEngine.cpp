// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/BarcodeEngine.h"

#include "KeloLens/Recognition/AztecBullseyes.h"
#include "KeloLens/Recognition/DataMatrixCorners.h"
#include "KeloLens/Recognition/ImagePreparation.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
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

// One picture of the capture the reader is given, and how its pixels map back onto the capture.
struct Look
{
    QImage grey;
    QTransform toImage;
};

class Findings
{
public:
    explicit Findings(QSize imageSize) : m_bounds(QPoint(0, 0), imageSize) {}

    // Whether the result is new: the same code seen again in another look is reported once.
    bool add(const ZXing::Result &result, const QTransform &toImage)
    {
        if (!result.isValid()) {
            return false;
        }
        QPolygon outline;
        for (const ZXing::PointI &corner : result.position()) {
            outline << QPoint(corner.x, corner.y);
        }
        BarcodeObservation observation{shortName(result.format()),
                                       QString::fromStdString(result.text()),
                                       toImage.mapRect(outline.boundingRect()) & m_bounds};
        const bool isKnown = std::any_of(m_observations.begin(), m_observations.end(),
                                         [&](const BarcodeObservation &known) {
                                             return known.symbology == observation.symbology &&
                                                    known.payload == observation.payload;
                                         });
        if (isKnown) {
            return false;
        }
        m_observations.append(std::move(observation));
        return true;
    }

    [[nodiscard]] const QList<BarcodeObservation> &observations() const { return m_observations; }

private:
    QRect m_bounds;
    QList<BarcodeObservation> m_observations;
};

ZXing::Results read(const QImage &grey, const ZXing::DecodeHints &hints = {})
{
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                                ZXing::ImageFormat::Lum, int(grey.bytesPerLine()));
    return ZXing::ReadBarcodes(view, hints);
}

// The reader needs a light margin around a code; a capture may cut right along its edge.
Look withQuietZone(const QImage &grey)
{
    const int margin = std::clamp(std::min(grey.width(), grey.height()) / 10, 8, 48);
    QImage padded(grey.width() + 2 * margin, grey.height() + 2 * margin, QImage::Format_Grayscale8);
    if (padded.isNull()) {
        return {grey, {}};
    }
    padded.fill(255);
    for (int y = 0; y < grey.height(); ++y) {
        std::copy_n(grey.constScanLine(y), grey.width(), padded.scanLine(y + margin) + margin);
    }
    return {padded, QTransform::fromTranslate(-margin, -margin)};
}

// Debian's reader asserts, and so ends the process, when it compares two linear codes it read
// with the same text, as it does for two identical barcodes or one found again in its smaller
// copy of the image. Linear codes are therefore read one per look, without smaller copies.
ZXing::DecodeHints hintsFor(ZXing::BarcodeFormat formats)
{
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    if (formats == ZXing::BarcodeFormat::LinearCodes) {
        hints.setMaxNumberOfSymbols(1);
        hints.setTryDownscale(false);
    }
    return hints;
}

// The reader reports one symbol of some kinds per look, and a QR code's finder patterns can hide
// an Aztec code's bullseye; so the symbols found are painted over with the background and the
// image is read again, until a look finds nothing new.
constexpr int maxLooks = 8;

void appendCodes(Look look, Findings &findings, const std::stop_token &stop,
                 bool isLinearOnly = false)
{
    for (int pass = 0; pass < maxLooks && !stop.stop_requested(); ++pass) {
        ZXing::Results results = read(look.grey, hintsFor(ZXing::BarcodeFormat::LinearCodes));
        if (!isLinearOnly) {
            for (ZXing::Result &result :
                 read(look.grey, hintsFor(ZXing::BarcodeFormat::MatrixCodes))) {
                results.push_back(std::move(result));
            }
        }
        bool isAnythingNew = false;
        QPainter painter(&look.grey);
        painter.setPen(QPen(Qt::white, 6));
        painter.setBrush(Qt::white);
        for (const ZXing::Result &result : results) {
            if (!result.isValid()) {
                continue;
            }
            isAnythingNew = findings.add(result, look.toImage) || isAnythingNew;
            QPolygon outline;
            for (const ZXing::PointI &corner : result.position()) {
                outline << QPoint(corner.x, corner.y);
            }
            painter.drawPolygon(outline);
        }
        if (!isAnythingNew) {
            return;
        }
    }
}

// A window of the look, white outside it, enlarged `factor` times, with its way back.
Look windowOf(const Look &look, const QRect &area, int factor = 1)
{
    QImage window(area.size(), QImage::Format_Grayscale8);
    if (window.isNull()) {
        return {};
    }
    window.fill(255);
    QPainter painter(&window);
    painter.drawImage(-area.topLeft(), look.grey);
    painter.end();
    if (factor > 1) {
        window =
            window.scaled(window.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    return {window, QTransform::fromScale(1.0 / factor, 1.0 / factor) *
                        QTransform::fromTranslate(area.left(), area.top()) * look.toImage};
}

void appendWindowCodes(const Look &window, Findings &findings, const ZXing::DecodeHints &hints)
{
    if (window.grey.isNull()) {
        return;
    }
    for (const ZXing::Result &result : read(window.grey, hints)) {
        findings.add(result, window.toImage);
    }
}

// Aztec codes away from the middle of the image, looked for around each likely bullseye.
constexpr int maxBullseyes = 6;
// The widest Aztec code is 151 modules.
constexpr double aztecReachModules = 80;
// Keeps the window for a giant code (or a striped picture taken for one) to a few megapixels.
constexpr int maxAztecReach = 1200;

void appendOffCentreAztecCodes(const Look &look, Findings &findings, const std::stop_token &stop)
{
    const ZXing::DecodeHints hints = hintsFor(ZXing::BarcodeFormat::Aztec);
    for (const AztecBullseye &bullseye : AztecBullseyes::find(look.grey, maxBullseyes)) {
        if (stop.stop_requested()) {
            return;
        }
        const int reach =
            std::min(maxAztecReach, int(std::ceil(bullseye.moduleSize * aztecReachModules)));
        const QRect area(bullseye.centre - QPoint(reach, reach),
                         QSize(2 * reach + 1, 2 * reach + 1));
        appendWindowCodes(windowOf(look, area), findings, hints);
    }
}

// Data Matrix codes anywhere, looked for around each likely finder. Small ones are enlarged:
// the reader needs modules of two pixels or more.
constexpr int maxDataMatrixFinders = 24;
constexpr int dataMatrixWindowSide = 60;

void appendDataMatrixCodes(const Look &look, Findings &findings, const std::stop_token &stop)
{
    const ZXing::DecodeHints hints = hintsFor(ZXing::BarcodeFormat::DataMatrix);
    for (const QRect &finder : DataMatrixCorners::find(look.grey, maxDataMatrixFinders)) {
        if (stop.stop_requested()) {
            return;
        }
        const int side = std::min(finder.width(), finder.height());
        const int margin = std::max(4, side / 5);
        const int factor = std::clamp(dataMatrixWindowSide / side + 1, 1, 4);
        appendWindowCodes(windowOf(look, finder.adjusted(-margin, -margin, margin, margin), factor),
                          findings, hints);
    }
}

// Bars a pixel or so wide, blurred by the screen's scaling, merge for the reader; enlarged
// twice and smoothed they part again. Linear codes only: the others gain nothing from it.
constexpr double maxPixelsToEnlarge = 2.5e6;

void appendDenseLinearCodes(const Look &look, Findings &findings, const std::stop_token &stop)
{
    if (double(look.grey.width()) * look.grey.height() > maxPixelsToEnlarge) {
        return;
    }
    // Qt smooths only colour images when enlarging them.
    const QImage enlarged =
        look.grey.convertToFormat(QImage::Format_RGB32)
            .scaled(look.grey.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_Grayscale8);
    appendCodes({enlarged, QTransform::fromScale(0.5, 0.5) * look.toImage}, findings, stop, true);
}

} // namespace

bool BarcodeEngine::isLinear(const QString &symbology)
{
    static const QStringList linear = {
        QStringLiteral("Code128"), QStringLiteral("Code39"),  QStringLiteral("Code93"),
        QStringLiteral("Codabar"), QStringLiteral("EAN8"),    QStringLiteral("EAN13"),
        QStringLiteral("UPCA"),    QStringLiteral("UPCE"),    QStringLiteral("ITF"),
        QStringLiteral("DataBar"), QStringLiteral("DataBarExpanded")};
    return linear.contains(symbology);
}

namespace {

// The reader places a linear code on the one row it scanned; its bars reach up and down from
// there for as long as the rows above and below show the same pattern.
QRect barsOf(const QImage &grey, const QRect &scanned)
{
    const QRect row = scanned & grey.rect();
    if (row.isEmpty() || row.width() < 8) {
        return scanned;
    }
    const int middle = row.center().y();
    const uchar *scan = grey.constScanLine(middle);
    const auto [darkest, lightest] = std::minmax_element(scan + row.left(), scan + row.right() + 1);
    const int threshold = (*darkest + *lightest) / 2;
    const auto matches = [&](int y) {
        const uchar *line = grey.constScanLine(y);
        int same = 0;
        for (int x = row.left(); x <= row.right(); ++x) {
            same += (line[x] < threshold) == (scan[x] < threshold) ? 1 : 0;
        }
        return same >= 0.95 * row.width();
    };
    int top = middle;
    while (top > 0 && matches(top - 1)) {
        --top;
    }
    int bottom = middle;
    while (bottom < grey.height() - 1 && matches(bottom + 1)) {
        ++bottom;
    }
    return QRect(row.left(), top, row.width(), bottom - top + 1) | scanned;
}

} // namespace

namespace BarcodeEngine {

QList<BarcodeObservation> readCodes(const QImage &image, std::stop_token stop)
{
    if (image.isNull() || image.width() < 1 || image.height() < 1) {
        return {};
    }
    const QImage grey = ImagePreparation::flattenedGrey(image);
    if (grey.isNull()) {
        return {};
    }
    Findings findings(image.size());
    try {
        QImage inverted = grey;
        inverted.invertPixels();
        for (const QImage &picture : {grey, inverted}) {
            const Look look = withQuietZone(picture);
            if (stop.stop_requested()) {
                break;
            }
            appendCodes(look, findings, stop);
            appendOffCentreAztecCodes(look, findings, stop);
            appendDataMatrixCodes(look, findings, stop);
            appendDenseLinearCodes(look, findings, stop);
        }
    } catch (...) {
        // A reader failure contributes what was found before it.
    }
    QList<BarcodeObservation> observations = findings.observations();
    for (BarcodeObservation &observation : observations) {
        if (isLinear(observation.symbology)) {
            observation.area = barsOf(grey, observation.area);
        }
    }
    return observations;
}

} // namespace BarcodeEngine
