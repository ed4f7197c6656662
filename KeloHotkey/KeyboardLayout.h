#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace KeloPlatform {
class KeymapSource;
}

// Names key positions (Mac virtual key codes, as HotKeyCombo stores them) for display and
// translates between them and the characters of the user's current keyboard layout. Every call
// reads the layout afresh, since the user may switch layouts at any moment. Main thread only.
namespace KeyboardLayout {

// What the key types on the current layout with no modifiers held, or absent (no layout, a key
// without a character, a key code with no matching key).
[[nodiscard]] std::optional<QString> character(uint16_t keyCode);

// Never empty: the fixed name of a special key ("Space", "↩", "F1", arrows), else the layout's
// character upper-cased, else "#" and the decimal key code.
[[nodiscard]] QString displayName(uint16_t keyCode);

// The smallest key code from 0 to 127 that types the given text (ignoring case) on the current
// layout, or absent.
[[nodiscard]] std::optional<uint16_t> keyCode(const QString &characters);

// While alive, layouts come from the given source instead of the running session (tests, and
// sessions whose layout is known by name). Scopes nest; the innermost wins.
class ScopedSource
{
public:
    explicit ScopedSource(std::shared_ptr<const KeloPlatform::KeymapSource> source);
    ~ScopedSource();
    ScopedSource(const ScopedSource &) = delete;
    ScopedSource &operator=(const ScopedSource &) = delete;

private:
    std::shared_ptr<const KeloPlatform::KeymapSource> m_previous;
};

} // namespace KeyboardLayout
