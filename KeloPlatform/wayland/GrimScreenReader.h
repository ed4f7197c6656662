// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/ScreenReader.h"

#include <QProcessEnvironment>

#include <memory>

namespace KeloPlatform {

// Reads every monitor of a wlroots compositor (sway and the like) with grim, one run per monitor,
// the pixels through a pipe: nothing is written to disk. Readable where grim is installed and the
// compositor offers the screencopy protocol grim needs; elsewhere canRead() says no and the
// desktop's own tool selects.
[[nodiscard]] std::unique_ptr<ScreenReader>
createGrimScreenReader(const QProcessEnvironment &environment);

} // namespace KeloPlatform
