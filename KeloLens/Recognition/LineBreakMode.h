// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>

// How the lines of one paragraph are joined in the assembled text.
enum class LineBreakMode {
    keepLines,
    joinParagraphs,
};

[[nodiscard]] QString rawValue(LineBreakMode mode);
// The stored string back to a mode; anything but an exact raw value gives no mode.
[[nodiscard]] std::optional<LineBreakMode> lineBreakModeFromRawValue(const QString &raw);
[[nodiscard]] QList<LineBreakMode> allLineBreakModes();
// The title shown on the recognition settings page.
[[nodiscard]] QString title(LineBreakMode mode);
