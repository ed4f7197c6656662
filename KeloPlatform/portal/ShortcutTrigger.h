// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/KeyGrabber.h"

#include <QString>

namespace KeloPlatform {

class KeymapSource;

// A chord in the form desktops take a preferred shortcut trigger in ("CTRL+SHIFT+2"): modifier
// names, then the name of the key symbol the key types on the session's layout (`keymap`, when
// it can be read), else on the default layout. Empty for a key that has no symbol.
[[nodiscard]] QString shortcutTrigger(const KeyChord &chord, const KeymapSource *keymap);

} // namespace KeloPlatform
