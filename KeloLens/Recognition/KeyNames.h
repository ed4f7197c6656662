// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Keyboard shortcuts as menus and dialogs write them ("Ctrl+Shift+2"). The engine reads the "l"
// of "Ctrl" as an "i" or a "1" in small type; a name in a combination that is a key's name but
// for such a look-alike is that key's name.
namespace KeyNames {

[[nodiscard]] QString mended(const QString &line);

} // namespace KeyNames
