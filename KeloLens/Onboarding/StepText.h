// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QLabel;

// The text styles of the onboarding pages.
namespace StepText {

// Labels span the page's width and centre their text, so wrapping uses the whole width.

// A bold heading of the given pixel size.
[[nodiscard]] QLabel *title(const QString &text, int pixelSize);
// Body text in the secondary colour, wrapped.
[[nodiscard]] QLabel *secondary(const QString &text);
// Small secondary text under a control.
[[nodiscard]] QLabel *caption(const QString &text);

} // namespace StepText
