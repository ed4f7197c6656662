// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPaste/PasteKeys.h"
#include "KeloPlatform/RunningApplication.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace KeloPlatform {
class Clipboard;
class SyntheticKeys;
class WindowSystem;
} // namespace KeloPlatform

// The clipboard, and pasting its text into another application. Main thread only; the services
// handed in must outlive it.
class PasteService
{
public:
    // Without a clipboard service the text goes to Qt's own clipboard.
    PasteService(KeloPlatform::WindowSystem &windows, KeloPlatform::SyntheticKeys &keys,
                 KeyboardLayout layout, KeloPlatform::Clipboard *clipboard = nullptr);
    ~PasteService();
    PasteService(const PasteService &) = delete;
    PasteService &operator=(const PasteService &) = delete;

    // Replaces everything on the clipboard with `text` as its only, plain-text content, and
    // returns the clipboard's change count after the write; absent when the session did not take
    // the text (the caller says so: the user must not paste something else unknowingly). The
    // count is ours: it grows by one per write that worked. The text stays available while this
    // application runs, also when none of its windows has the focus.
    std::optional<qint64> writePlainText(const QString &text);

    // Pastes the clipboard into `target`: brings it to the front unless it already is, then
    // presses the keys it pastes with 0.08 seconds later: Ctrl+V, or in a terminal Ctrl+Shift+V,
    // or for xterm and its kin Shift+Insert, with the text last written also put in the primary
    // selection they paste from. Without a target (always under Wayland, where no other
    // window can be named) the keys go to whatever is in front then, and only once no window of
    // this application has the keyboard focus any more (the compositor gives it back when our
    // panel hides); keys that would land in our own window are not sent. False, with
    // nothing sent, when keystrokes may not be sent (the keys service is not available) or when
    // the target's window has gone: the keys would land in whatever window happens to be in
    // front, or when the primary selection could not be taken for Shift+Insert. True says the
    // keys were scheduled, not that they arrived.
    bool paste(const std::optional<KeloPlatform::RunningApplication> &target);

    // The keys paste() would press for `target`: Ctrl+V when there is none or its kind is not
    // known.
    [[nodiscard]] PasteKeys
    keysFor(const std::optional<KeloPlatform::RunningApplication> &target) const;

    // Presses the paste keys now; V is the key that types "v" on the current keyboard layout.
    void postPasteShortcut(PasteKeys keys = PasteKeys::controlV);

private:
    // Sends the keys once our windows lost the focus, polling that many times; at once when
    // negative.
    void sendWhenFocusLeft(PasteKeys keys, int attemptsLeft);

    KeloPlatform::WindowSystem *m_windows;
    KeloPlatform::SyntheticKeys *m_keys;
    KeyboardLayout m_layout;
    std::unique_ptr<KeloPlatform::Clipboard> m_ownClipboard;
    KeloPlatform::Clipboard *m_clipboard;
    qint64 m_changeCount = 0;
    // What the last write put on the clipboard, for the primary selection of Shift+Insert.
    QString m_lastText;
    // Expires with the service; pending keystrokes check it.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
