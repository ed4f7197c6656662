// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace KeloPlatform {

// One reading of a keyboard layout, taken at a moment; the user may switch layouts right after.
class Keymap
{
public:
    virtual ~Keymap() = default;

    // What the key with this evdev code types in the active layout group with no modifiers held
    // (dead keys give their spacing accent); absent for keys that type nothing printable.
    [[nodiscard]] virtual std::optional<QString> text(uint32_t evdevCode) const = 0;
};

// Where keyboard layouts come from.
class KeymapSource
{
public:
    virtual ~KeymapSource() = default;

    // The layout as it is now, read afresh; absent when none is available.
    [[nodiscard]] virtual std::unique_ptr<Keymap> currentKeymap() const = 0;
};

// A named XKB layout ("us", "fr", "de" with an optional variant) compiled locally, independent of
// any display: for sessions whose layout is known only by name, and for tests. Absent when the
// layout is unknown or the build has no XKB support.
[[nodiscard]] std::unique_ptr<KeymapSource> createNamedKeymapSource(const QString &layout,
                                                                    const QString &variant = {});

} // namespace KeloPlatform
