// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace KeloPlatform {
class SyntheticKeys;
}

// Whether this application may send keystrokes to other applications, which pasting into them
// needs. Main thread only; the keys service must outlive it.
class Accessibility
{
public:
    explicit Accessibility(KeloPlatform::SyntheticKeys &keys) : m_keys(&keys) {}

    // True when synthetic keystrokes reach other applications (on X11: the XTEST extension is
    // there; under Wayland: the user allowed remote control of the keyboard). Cheap enough to
    // poll.
    [[nodiscard]] bool isTrusted() const;
    // Whether the session can give that permission at all; where it cannot, the user copies and
    // pastes by hand, and nothing should offer to paste.
    [[nodiscard]] bool isPossible() const;
    // Whether that permission, once given, is still there at the next start.
    [[nodiscard]] bool isKeptAcrossStarts() const;

    // Asks the system for that permission where it has a prompt for it: under Wayland the
    // desktop's remote control dialog (the "Allow Paste…" step). X11 has none, so this does
    // nothing there. The answer is not awaited; isTrusted() turns true once it is given.
    void request();
    // Whether the desktop's dialog asking for that permission is open now.
    [[nodiscard]] bool isAsking() const;
    // Called when that dialog opens and once the desktop has answered; one listener at a time.
    void setOnAskingChanged(std::function<void(bool isAsking)> callback);

private:
    KeloPlatform::SyntheticKeys *m_keys;
};
