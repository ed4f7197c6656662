// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/Clipboard.h"

namespace KeloPlatform {

// The clipboard as Qt's platform plugin offers it. On X11 any client may take the clipboard;
// under Wayland Qt's own clipboard only works while one of this application's windows has the
// focus, which is why the portal set brings its own.
class QtClipboard final : public Clipboard
{
public:
    [[nodiscard]] bool writeText(const QString &text) override;
    [[nodiscard]] bool writeSelection(const QString &text) override;
};

} // namespace KeloPlatform
