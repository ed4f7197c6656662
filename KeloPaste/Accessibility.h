#pragma once

// Whether this application may send keystrokes to other applications, which pasting into them
// needs.
namespace Accessibility {

// True when synthetic keystrokes reach other applications (on X11: the XTEST extension is there).
// Cheap enough to poll.
[[nodiscard]] bool isTrusted();

// Asks the system for that permission where it has a prompt for it. X11 has none, so this does
// nothing there.
void request();

} // namespace Accessibility
