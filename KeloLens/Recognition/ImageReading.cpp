// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ImageReading.h"

#include <QImageReader>

namespace ImageReading {

Outcome read(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    // The header gives the size before anything is decoded: refuse what would not fit.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() * 4 > maxDecodedBytes) {
        return {{},
                // Short enough for a toast's two lines after "The capture couldn't be read: ".
                QStringLiteral("it is %1 x %2 pixels, over %3 megapixels")
                    .arg(size.width())
                    .arg(size.height())
                    .arg(maxDecodedBytes / 4 / 1000000),
                true};
    }
    // Formats whose header gives no size are held to the same cap while they decode.
    reader.setAllocationLimit(int(maxDecodedBytes / (1024 * 1024)) + 1);
    QImage image = reader.read();
    if (image.isNull()) {
        return {{}, reader.errorString()};
    }
    return {image, {}};
}

} // namespace ImageReading
