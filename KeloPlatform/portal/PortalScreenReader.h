// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/ScreenReader.h"

#include <memory>

namespace KeloPlatform {

class PortalScreenshotService;

// Reads every monitor through the Screenshot portal without the user selecting (GNOME), where
// the user allowed KeloLens to take screenshots at any time; elsewhere canRead() says no and the
// desktop's interactive screenshot selects. GNOME puts that question only to the application in
// front, never to one whose capture a shortcut started, so it is asked from the settings
// (askForAccess()). The file the desktop writes is read and deleted at once. `screenshots` must
// outlive the reader; the compositor at `waylandDisplay` says how the picture is laid out.
[[nodiscard]] std::unique_ptr<ScreenReader>
createPortalScreenReader(PortalScreenshotService &screenshots, const QString &waylandDisplay);

} // namespace KeloPlatform
