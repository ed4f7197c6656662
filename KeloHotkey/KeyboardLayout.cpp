#include "KeloHotkey/KeyboardLayout.h"

#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/KeymapSource.h"

#include <utility>

namespace KeyboardLayout {
namespace {

std::shared_ptr<const KeloPlatform::KeymapSource> &overrideSource()
{
    static std::shared_ptr<const KeloPlatform::KeymapSource> source;
    return source;
}

std::unique_ptr<KeloPlatform::Keymap> currentKeymap()
{
    if (const auto &source = overrideSource()) {
        return source->currentKeymap();
    }
    return KeloPlatform::createSystemKeymapSource()->currentKeymap();
}

std::optional<QString> translate(const KeloPlatform::Keymap &keymap, uint16_t keyCode)
{
    const std::optional<uint32_t> evdev = KeloPlatform::evdevCodeForMacKeyCode(keyCode);
    if (!evdev) {
        return std::nullopt;
    }
    return keymap.text(*evdev);
}

const char16_t *specialName(uint16_t keyCode)
{
    switch (keyCode) {
    case 36: return u"↩";
    case 48: return u"⇥";
    case 49: return u"Space";
    case 51: return u"⌫";
    case 53: return u"⎋";
    case 96: return u"F5";
    case 97: return u"F6";
    case 98: return u"F7";
    case 99: return u"F3";
    case 100: return u"F8";
    case 101: return u"F9";
    case 103: return u"F11";
    case 109: return u"F10";
    case 111: return u"F12";
    case 117: return u"⌦";
    case 118: return u"F4";
    case 120: return u"F2";
    case 122: return u"F1";
    case 123: return u"←";
    case 124: return u"→";
    case 125: return u"↓";
    case 126: return u"↑";
    default: return nullptr;
    }
}

} // namespace

std::optional<QString> character(uint16_t keyCode)
{
    const std::unique_ptr<KeloPlatform::Keymap> keymap = currentKeymap();
    if (!keymap) {
        return std::nullopt;
    }
    return translate(*keymap, keyCode);
}

QString displayName(uint16_t keyCode)
{
    if (const char16_t *name = specialName(keyCode)) {
        return QString::fromUtf16(name);
    }
    if (const std::optional<QString> text = character(keyCode)) {
        return text->toUpper();
    }
    return QStringLiteral("#") + QString::number(keyCode);
}

std::optional<uint16_t> keyCode(const QString &characters)
{
    const QString wanted = characters.toLower();
    if (wanted.isEmpty()) {
        return std::nullopt;
    }
    // One reading of the layout serves the whole search, so a switch halfway through cannot
    // mix two layouts into one answer.
    const std::unique_ptr<KeloPlatform::Keymap> keymap = currentKeymap();
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

ScopedSource::ScopedSource(std::shared_ptr<const KeloPlatform::KeymapSource> source)
    : m_previous(std::exchange(overrideSource(), std::move(source)))
{
}

ScopedSource::~ScopedSource()
{
    overrideSource() = std::move(m_previous);
}

} // namespace KeyboardLayout
