// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <optional>

// Reads captures and image files for recognition, whatever a tool wrote: the format is decided
// by content, not name, and images are decoded up to a cap well above Qt's default of 128 MB,
// which three screens side by side already exceed.
namespace ImageReading {

// Four 8K screens (7680 x 4320) of 32-bit pixels.
inline constexpr qint64 maxDecodedBytes = 4LL * 7680 * 4320 * 4;

struct Outcome
{
    QImage image;  // null when the file could not be read
    QString error; // why, when it could not
    bool isTooLarge = false;
};

[[nodiscard]] Outcome read(const QString &path);

} // namespace ImageReading
