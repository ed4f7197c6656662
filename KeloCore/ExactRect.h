// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>

#include <algorithm>

// A rectangle of four doubles compared exactly. QRectF's operator== is fuzzy, which would make
// two boxes a hair apart "equal"; records that cross subsystems need exact value equality.
struct ExactRect
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const ExactRect &) const = default;

    [[nodiscard]] double minX() const { return std::min(x, x + width); }
    [[nodiscard]] double maxX() const { return std::max(x, x + width); }
    [[nodiscard]] double minY() const { return std::min(y, y + height); }
    [[nodiscard]] double maxY() const { return std::max(y, y + height); }
    [[nodiscard]] double midX() const { return x + width / 2; }
    [[nodiscard]] double midY() const { return y + height / 2; }

    // The smallest rectangle containing both (edges taken as min/max, so a negative size is
    // treated like its mirror image).
    [[nodiscard]] ExactRect united(const ExactRect &other) const
    {
        const double left = std::min(minX(), other.minX());
        const double bottom = std::min(minY(), other.minY());
        const double right = std::max(maxX(), other.maxX());
        const double top = std::max(maxY(), other.maxY());
        return {left, bottom, right - left, top - bottom};
    }

    [[nodiscard]] static ExactRect fromQRectF(const QRectF &r)
    {
        return {r.x(), r.y(), r.width(), r.height()};
    }
};
