// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <stop_token>

// One code as the barcode reader reported it.
struct BarcodeObservation
{
    QString symbology; // short name: "QR", "MicroQR", "EAN13", ...
    QString payload;   // may be empty when the code carries nothing readable as text
    QRect area;        // where the code's modules (a linear code's bars) lie, in the image's pixels

    bool operator==(const BarcodeObservation &) const = default;
};

// ZXing-cpp behind a small interface.
namespace BarcodeEngine {

// Every code in the image, in the reader's order: first those dark on light, then those light
// on dark (the reader only looks for dark modules, and dark-mode screens draw them light).
// Transparent parts count as white. Ends after the look under way once `stop` is triggered.
[[nodiscard]] QList<BarcodeObservation> readCodes(const QImage &image, std::stop_token stop = {});

// Whether a symbology is a linear code (bars), which usually has its text printed along it.
[[nodiscard]] bool isLinear(const QString &symbology);

} // namespace BarcodeEngine
