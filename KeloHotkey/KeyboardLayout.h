// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace KeloPlatform {
class KeymapSource;
}

// Names key positions (Mac virtual key codes, as HotKeyCombo stores them) for display and
// translates between them and the characters of the user's current keyboard layout. Every call
// reads the layout afresh from its source, since the user may switch layouts at any moment.
// Main thread only; the source must outlive every copy.
class KeyboardLayout
{
public:
    explicit KeyboardLayout(const KeloPlatform::KeymapSource &source) : m_source(&source) {}

    // What the key types on the current layout with no modifiers held, or absent (no layout, a
    // key without a character, a key code with no matching key).
    [[nodiscard]] std::optional<QString> character(uint16_t keyCode) const;

    // Never empty: the fixed name of a special key ("Space", "↩", "F1", arrows), else the
    // layout's character upper-cased, else "#" and the decimal key code.
    [[nodiscard]] QString displayName(uint16_t keyCode) const;

    // The smallest key code from 0 to 127 that types the given text (ignoring case) on the
    // current layout, or absent.
    [[nodiscard]] std::optional<uint16_t> keyCode(const QString &characters) const;

private:
    const KeloPlatform::KeymapSource *m_source;
};
