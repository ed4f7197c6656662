// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <stop_token>

// A capture made ready for the text engine: one grey channel, dark text on a light background,
// small text enlarged, a margin of background around it. Remembers how it got there so that
// boxes found in it can be put back into the captured image's coordinates.
struct PreparedImage
{
    QImage image;       // Grayscale8; null when the capture could not be read
    double scale = 1;   // prepared pixels per captured pixel
    int padding = 0;    // prepared pixels added on every side
    int resolution = 0; // dots per inch to report to the engine
    QSize originalSize;
    bool wasInverted = false;

    // A box in prepared pixels (right and bottom exclusive) as a normalized box in the captured
    // image: 0 to 1 on each axis, origin at the bottom-left.
    [[nodiscard]] ExactRect normalizedBox(const QRect &preparedBox) const;
    // A width in prepared pixels as a share of the captured image's width.
    [[nodiscard]] double normalizedWidth(double preparedWidth) const;
};

namespace ImagePreparation {

// Never more pixels than this after scaling, whatever the capture's size: enough for two 8K
// screens as they are; larger captures are shrunk to it.
inline constexpr double maxPixels = 80e6;

// Null once `stop` is triggered.
[[nodiscard]] PreparedImage prepareForText(const QImage &capture, std::stop_token stop = {});

// One grey channel, transparent parts flattened onto white as they would show on a light
// background.
[[nodiscard]] QImage flattenedGrey(const QImage &capture);

// The typical height in pixels of a line of text in a dark-on-light grey image, from the runs
// of rows that hold ink; 0 when no text-like rows are found.
[[nodiscard]] int typicalLineHeight(const QImage &grey, int background);

} // namespace ImagePreparation
