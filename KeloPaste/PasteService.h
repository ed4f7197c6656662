#pragma once

#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPlatform/RunningApplication.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace KeloPlatform {
class SyntheticKeys;
class WindowSystem;
} // namespace KeloPlatform

// The clipboard, and pasting its text into another application. Main thread only; the services
// handed in must outlive it.
class PasteService
{
public:
    PasteService(KeloPlatform::WindowSystem &windows, KeloPlatform::SyntheticKeys &keys,
                 KeyboardLayout layout);
    PasteService(const PasteService &) = delete;
    PasteService &operator=(const PasteService &) = delete;

    // Replaces everything on the clipboard with `text` as its only, plain-text content, and
    // returns the clipboard's change count after the write. The count is ours: it grows by one
    // per write. On X11 the text stays available while this application runs.
    qint64 writePlainText(const QString &text);

    // Pastes the clipboard into `target`: brings it to the front unless it already is, then
    // presses Ctrl+V 0.08 seconds later. Without a target the keys go to whatever is in front
    // then. False, with nothing sent, when keystrokes may not be sent (the keys service is not
    // available) or when the target's window has gone: the keys would land in whatever window
    // happens to be in front. True says the keys were scheduled, not that they arrived.
    bool paste(const std::optional<KeloPlatform::RunningApplication> &target);

    // Presses Ctrl+V now, with the key that types "v" on the current keyboard layout.
    void postPasteShortcut();

private:
    KeloPlatform::WindowSystem *m_windows;
    KeloPlatform::SyntheticKeys *m_keys;
    KeyboardLayout m_layout;
    qint64 m_changeCount = 0;
    // Expires with the service; pending keystrokes check it.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
