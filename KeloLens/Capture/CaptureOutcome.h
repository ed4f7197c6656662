// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/SelectedRegion.h"

#include <QImage>
#include <QString>

#include <optional>
#include <variant>

// The user selected something: the pixels of the selection and where on the screen it was, in
// Qt's global coordinates (device-independent pixels, origin top-left), when that is known.
struct CapturedImage
{
    QImage image;
    std::optional<SelectedRegion> region;

    // The same image object (shared data), not merely equal pixels.
    bool operator==(const CapturedImage &other) const
    {
        return image.cacheKey() == other.image.cacheKey() && region == other.region;
    }
};

// The capture failed; the message is shown to the user as it is.
struct CaptureFailed
{
    QString message;

    bool operator==(const CaptureFailed &) const = default;
};

// The user ended the selection without capturing anything.
struct CaptureCancelled
{
    bool operator==(const CaptureCancelled &) const = default;
};

using CaptureOutcome = std::variant<CapturedImage, CaptureFailed, CaptureCancelled>;
