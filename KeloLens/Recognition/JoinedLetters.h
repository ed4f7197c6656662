// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/TextAssembly.h"

#include <QString>

// In small type "r" and "n" set close run together into an "m", and the engine reads one for the
// other both ways ("tumaround", "modem" for "modern"). A word the dictionary does not know that
// becomes one it knows by one such change is taken to be that word; words it knows stay, even
// where the other reading is a word too. The narrow gap between two words of a label, read as a
// "1" or a "|" ("Open1Recent"), is a space again, and so is the one lost after "A" or "I".
namespace JoinedLetters {

[[nodiscard]] QString mended(const QString &line, const WordCheck &isWord);

} // namespace JoinedLetters
