// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/portal/ShortcutTrigger.h"

#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/KeymapSource.h"

#include <QStringList>

#include <memory>
#include <xkbcommon/xkbcommon.h>

namespace KeloPlatform {
namespace {

QString keysymName(xkb_keysym_t keysym)
{
    if (keysym == XKB_KEY_NoSymbol) {
        return {};
    }
    char name[64];
    if (xkb_keysym_get_name(keysym, name, sizeof name) <= 0) {
        return {};
    }
    return QString::fromLatin1(name);
}

// The key's unshifted symbol on the default layout (XKB_DEFAULT_LAYOUT or the system's): the
// names of keys that type nothing (F5, Return, Left) do not depend on the layout.
xkb_keysym_t defaultKeysym(uint32_t evdevCode)
{
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
    if (!context) {
        return XKB_KEY_NoSymbol;
    }
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_keymap_new_from_names(context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    if (!keymap) {
        return XKB_KEY_NoSymbol;
    }
    const xkb_keysym_t *symbols = nullptr;
    const int count =
        xkb_keymap_key_get_syms_by_level(keymap.get(), evdevCode + xKeycodeOffset, 0, 0, &symbols);
    return count > 0 ? symbols[0] : XKB_KEY_NoSymbol;
}

} // namespace

QString shortcutTrigger(const KeyChord &chord, const KeymapSource *keymap)
{
    xkb_keysym_t keysym = XKB_KEY_NoSymbol;
    if (keymap != nullptr) {
        if (const auto current = keymap->currentKeymap()) {
            const std::optional<QString> text = current->text(chord.evdevCode);
            if (text && text->size() == 1 && text->at(0).isPrint() && !text->at(0).isSpace()) {
                keysym = xkb_utf32_to_keysym(text->at(0).unicode());
            }
        }
    }
    if (keysym == XKB_KEY_NoSymbol) {
        keysym = defaultKeysym(chord.evdevCode);
    }
    const QString key = keysymName(keysym);
    if (key.isEmpty()) {
        return {};
    }
    QStringList parts;
    if (chord.hasControl) {
        parts << QStringLiteral("CTRL");
    }
    if (chord.hasAlt) {
        parts << QStringLiteral("ALT");
    }
    if (chord.hasShift) {
        parts << QStringLiteral("SHIFT");
    }
    if (chord.hasSuper) {
        parts << QStringLiteral("LOGO");
    }
    parts << key;
    return parts.join(u'+');
}

} // namespace KeloPlatform
