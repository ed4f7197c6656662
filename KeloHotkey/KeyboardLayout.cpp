// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/KeyboardLayout.h"

#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/KeymapSource.h"

namespace {

std::optional<QString> translate(const KeloPlatform::Keymap &keymap, uint16_t keyCode)
{
    const std::optional<uint32_t> evdev = KeloPlatform::evdevCodeForMacKeyCode(keyCode);
    if (!evdev) {
        return std::nullopt;
    }
    return keymap.text(*evdev);
}

struct SpecialKey
{
    uint16_t keyCode;
    const char16_t *name;
};

// Keys whose cap shows a symbol or a fixed name rather than what the layout types.
constexpr SpecialKey specialKeys[] = {
    {36, u"↩"},    {48, u"⇥"},    {49, u"Space"}, {51, u"⌫"},   {53, u"⎋"},   {96, u"F5"},
    {97, u"F6"},   {98, u"F7"},   {99, u"F3"},    {100, u"F8"}, {101, u"F9"}, {103, u"F11"},
    {109, u"F10"}, {111, u"F12"}, {117, u"⌦"},    {118, u"F4"}, {120, u"F2"}, {122, u"F1"},
    {123, u"←"},   {124, u"→"},   {125, u"↓"},    {126, u"↑"},
};

const char16_t *specialName(uint16_t keyCode)
{
    for (const SpecialKey &key : specialKeys) {
        if (key.keyCode == keyCode) {
            return key.name;
        }
    }
    return nullptr;
}

} // namespace

std::optional<QString> KeyboardLayout::character(uint16_t keyCode) const
{
    const std::unique_ptr<KeloPlatform::Keymap> keymap = m_source->currentKeymap();
    if (!keymap) {
        return std::nullopt;
    }
    return translate(*keymap, keyCode);
}

QString KeyboardLayout::displayName(uint16_t keyCode) const
{
    if (const char16_t *name = specialName(keyCode)) {
        return QString::fromUtf16(name);
    }
    if (const std::optional<QString> text = character(keyCode)) {
        return text->toUpper();
    }
    return QStringLiteral("#") + QString::number(keyCode);
}

std::optional<uint16_t> KeyboardLayout::keyCode(const QString &characters) const
{
    const QString wanted = characters.toLower();
    if (wanted.isEmpty()) {
        return std::nullopt;
    }
    // One reading of the layout serves the whole search, so a switch halfway through cannot
    // mix two layouts into one answer.
    const std::unique_ptr<KeloPlatform::Keymap> keymap = m_source->currentKeymap();
    if (!keymap) {
        return std::nullopt;
    }
    for (uint16_t code = 0; code <= 127; ++code) {
        const std::optional<QString> text = translate(*keymap, code);
        if (text && text->toLower() == wanted) {
            return code;
        }
    }
    return std::nullopt;
}
