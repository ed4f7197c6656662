// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// How the lines of one paragraph are joined in the assembled text.
enum class LineBreakMode {
    keepLines,
    joinParagraphs,
};

[[nodiscard]] QString rawValue(LineBreakMode mode);
[[nodiscard]] QList<LineBreakMode> allLineBreakModes();
// The title shown on the recognition settings page.
[[nodiscard]] QString title(LineBreakMode mode);
