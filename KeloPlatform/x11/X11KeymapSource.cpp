// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/KeymapSource.h"
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace KeloPlatform {
namespace {

struct ContextDeleter
{
    void operator()(xkb_context *context) const { xkb_context_unref(context); }
};
struct KeymapDeleter
{
    void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter
{
    void operator()(xkb_state *state) const { xkb_state_unref(state); }
};
using ContextPtr = std::unique_ptr<xkb_context, ContextDeleter>;
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using StatePtr = std::unique_ptr<xkb_state, StateDeleter>;

ContextPtr newContext()
{
    ContextPtr context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    // Failures come back as absent layouts; xkbcommon's own multi-line reports on stderr (an
    // unknown layout name, odd keysyms in a server keymap) would only be noise on every call.
    if (context) {
        xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
    }
    return context;
}

struct DeadKey
{
    xkb_keysym_t keysym;
    char32_t accent;
};

// Dead keys type nothing by themselves; like a layout viewer, name them by their spacing accent.
constexpr DeadKey deadKeys[] = {
    {XKB_KEY_dead_grave, U'`'},          {XKB_KEY_dead_acute, U'\u00B4'},
    {XKB_KEY_dead_circumflex, U'^'},     {XKB_KEY_dead_tilde, U'~'},
    {XKB_KEY_dead_macron, U'\u00AF'},    {XKB_KEY_dead_breve, U'\u02D8'},
    {XKB_KEY_dead_abovedot, U'\u02D9'},  {XKB_KEY_dead_diaeresis, U'\u00A8'},
    {XKB_KEY_dead_abovering, U'\u02DA'}, {XKB_KEY_dead_doubleacute, U'\u02DD'},
    {XKB_KEY_dead_caron, U'\u02C7'},     {XKB_KEY_dead_cedilla, U'\u00B8'},
    {XKB_KEY_dead_ogonek, U'\u02DB'},
};

char32_t deadKeyAccent(xkb_keysym_t keysym)
{
    for (const DeadKey &key : deadKeys) {
        if (key.keysym == keysym) {
            return key.accent;
        }
    }
    return 0;
}

std::optional<QString> printable(xkb_keysym_t keysym)
{
    char32_t character = xkb_keysym_to_utf32(keysym);
    if (character == 0) {
        character = deadKeyAccent(keysym);
    }
    // Return, Tab, Backspace and Escape map to control characters: nothing to show on a key cap.
    if (character < 0x20 || character == 0x7F || (character >= 0x80 && character < 0xA0)) {
        return std::nullopt;
    }
    return QString::fromUcs4(&character, 1);
}

bool isKeypadKeysym(xkb_keysym_t keysym)
{
    return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_9;
}

class XkbKeymap final : public Keymap
{
public:
    XkbKeymap(KeymapPtr keymap, StatePtr state)
        : m_keymap(std::move(keymap)), m_state(std::move(state))
    {
    }

    std::optional<QString> text(uint32_t evdevCode) const override
    {
        const xkb_keycode_t keycode = evdevCode + xKeycodeOffset;
        if (keycode < xkb_keymap_min_keycode(m_keymap.get()) ||
            keycode > xkb_keymap_max_keycode(m_keymap.get())) {
            return std::nullopt;
        }
        const xkb_layout_index_t group = xkb_state_key_get_layout(m_state.get(), keycode);
        if (group == XKB_LAYOUT_INVALID) {
            return std::nullopt;
        }
        const std::optional<QString> base = symbolText(keycode, group, 0);
        if (base) {
            return base;
        }
        // Keypad keys name their navigation function on the first level (Num Lock off); the
        // digit on the second level is what their key cap shows.
        const xkb_keysym_t *symbols = nullptr;
        if (xkb_keymap_key_get_syms_by_level(m_keymap.get(), keycode, group, 0, &symbols) == 1 &&
            isKeypadKeysym(symbols[0])) {
            return symbolText(keycode, group, 1);
        }
        return std::nullopt;
    }

private:
    std::optional<QString> symbolText(xkb_keycode_t keycode, xkb_layout_index_t group,
                                      xkb_level_index_t level) const
    {
        const xkb_keysym_t *symbols = nullptr;
        const int count =
            xkb_keymap_key_get_syms_by_level(m_keymap.get(), keycode, group, level, &symbols);
        if (count != 1) {
            return std::nullopt;
        }
        return printable(symbols[0]);
    }

    KeymapPtr m_keymap;
    StatePtr m_state;
};

class X11KeymapSource final : public KeymapSource
{
public:
    std::unique_ptr<Keymap> currentKeymap() const override
    {
        xcb_connection_t *connection = detail::qtXcbConnection();
        if (connection == nullptr) {
            return nullptr;
        }
        // Qt has set the extension up on its connection already; repeating it is harmless and
        // keeps this independent of Qt's internals.
        if (xkb_x11_setup_xkb_extension(
                connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
            return nullptr;
        }
        const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
        if (device < 0) {
            return nullptr;
        }
        const ContextPtr context = newContext();
        if (!context) {
            return nullptr;
        }
        KeymapPtr keymap(xkb_x11_keymap_new_from_device(context.get(), connection, device,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap) {
            return nullptr;
        }
        // The device state carries the group the user has switched to.
        StatePtr state(xkb_x11_state_new_from_device(keymap.get(), connection, device));
        if (!state) {
            return nullptr;
        }
        return std::make_unique<XkbKeymap>(std::move(keymap), std::move(state));
    }
};

class NamedKeymapSource final : public KeymapSource
{
public:
    NamedKeymapSource(QByteArray layout, QByteArray variant)
        : m_layout(std::move(layout)), m_variant(std::move(variant))
    {
    }

    std::unique_ptr<Keymap> currentKeymap() const override
    {
        const ContextPtr context = newContext();
        if (!context) {
            return nullptr;
        }
        const xkb_rule_names names{"evdev", "pc105", m_layout.constData(),
                                   m_variant.isEmpty() ? nullptr : m_variant.constData(), nullptr};
        KeymapPtr keymap(
            xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap) {
            return nullptr;
        }
        StatePtr state(xkb_state_new(keymap.get()));
        if (!state) {
            return nullptr;
        }
        return std::make_unique<XkbKeymap>(std::move(keymap), std::move(state));
    }

private:
    QByteArray m_layout;
    QByteArray m_variant;
};

} // namespace

std::unique_ptr<KeymapSource> createX11KeymapSource()
{
    return std::make_unique<X11KeymapSource>();
}

std::unique_ptr<KeymapSource> createNamedKeymapSource(const QString &layout, const QString &variant)
{
    auto source = std::make_unique<NamedKeymapSource>(layout.toUtf8(), variant.toUtf8());
    // xkbcommon falls back to a default layout for unknown names only when the names are empty;
    // an unknown name fails to compile, which is what tells the caller.
    if (layout.isEmpty() || !source->currentKeymap()) {
        return nullptr;
    }
    return source;
}

} // namespace KeloPlatform
