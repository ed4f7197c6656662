#pragma once

#include "KeloPlatform/RunningApplication.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// The clipboard, and pasting its text into another application. Main thread only.
namespace PasteService {

// Replaces everything on the clipboard with `text` as its only, plain-text content, and returns
// the clipboard's change count after the write. The count is ours: it grows by one per write.
// On X11 the text stays available while this application runs.
qint64 writePlainText(const QString &text);

// Pastes the clipboard into `target`: brings it to the front unless it already is, then presses
// Ctrl+V 0.08 seconds later. Without a target the keys go to whatever is in front then. False,
// with nothing activated or sent, when keystrokes may not be sent (Accessibility::isTrusted());
// true says the keys were scheduled, not that they arrived.
bool paste(const std::optional<KeloPlatform::RunningApplication> &target);

// Presses Ctrl+V now, with the key that types "v" on the current keyboard layout.
void postPasteShortcut();

} // namespace PasteService
