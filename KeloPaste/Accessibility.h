#pragma once

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
    // there). Cheap enough to poll.
    [[nodiscard]] bool isTrusted() const;

    // Asks the system for that permission where it has a prompt for it. X11 has none, so this
    // does nothing there.
    void request();

private:
    KeloPlatform::SyntheticKeys *m_keys;
};
