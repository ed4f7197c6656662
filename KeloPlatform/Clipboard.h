// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace KeloPlatform {

// The session's clipboard, written even when no window of this application has the focus.
// Main thread only.
class Clipboard
{
public:
    virtual ~Clipboard() = default;

    // Replaces everything on the clipboard with `text` as its only, plain-text content, and keeps
    // offering it while this application runs or until someone else takes the clipboard. False
    // when the session did not take it: the caller tells the user, the text is not silently lost.
    [[nodiscard]] virtual bool writeText(const QString &text) = 0;

    // Puts `text` in the primary selection as well (what a middle click and Shift+Insert paste on
    // X11). False where the session has none or did not take it.
    [[nodiscard]] virtual bool writeSelection(const QString &text)
    {
        (void)text;
        return false;
    }
};

} // namespace KeloPlatform
