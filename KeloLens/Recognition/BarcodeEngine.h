#pragma once

#include <QImage>
#include <QList>
#include <QString>

// One code as the barcode reader reported it.
struct BarcodeObservation
{
    QString symbology; // short name: "QR", "MicroQR", "EAN13", ...
    QString payload;   // may be empty when the code carries nothing readable as text

    bool operator==(const BarcodeObservation &) const = default;
};

// ZXing-cpp behind a small interface.
namespace BarcodeEngine {

// Every code in the image, in the reader's order: first those dark on light, then those light
// on dark (the reader only looks for dark modules, and dark-mode screens draw them light).
[[nodiscard]] QList<BarcodeObservation> readCodes(const QImage &image);

} // namespace BarcodeEngine
