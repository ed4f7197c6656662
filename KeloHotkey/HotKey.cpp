#include "KeloHotkey/HotKey.h"

#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/KeyGrabber.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <map>
#include <optional>

namespace detail {

// Shared by a center and its HotKeys, so either may go first. Main thread only.
struct HotKeyRegistry
{
    // Null once the center is gone.
    KeloPlatform::KeyGrabber *grabber = nullptr;
    std::map<uint32_t, std::function<void()>> handlers;
    uint32_t nextId = 1;
};

} // namespace detail

namespace {

void dispatch(const std::shared_ptr<detail::HotKeyRegistry> &registry, uint32_t id)
{
    if (registry->grabber == nullptr) {
        return;
    }
    const auto found = registry->handlers.find(id);
    if (found == registry->handlers.end()) {
        return;
    }
    // Run a copy, with the map no longer in use: the action may create or destroy HotKeys,
    // its own included.
    const std::function<void()> action = found->second;
    if (action) {
        action();
    }
}

std::optional<KeloPlatform::KeyChord> chordFor(const HotKeyCombo &combo)
{
    if (combo.keyCode > 0xffff) {
        return std::nullopt;
    }
    const std::optional<uint32_t> evdev =
        KeloPlatform::evdevCodeForMacKeyCode(uint16_t(combo.keyCode));
    if (!evdev) {
        return std::nullopt;
    }
    KeloPlatform::KeyChord chord;
    chord.evdevCode = *evdev;
    chord.hasControl = (combo.modifiers & HotKeyCombo::command) != 0;
    chord.hasAlt = (combo.modifiers & HotKeyCombo::option) != 0;
    chord.hasShift = (combo.modifiers & HotKeyCombo::shift) != 0;
    chord.hasSuper = (combo.modifiers & HotKeyCombo::control) != 0;
    return chord;
}

} // namespace

HotKeyCenter::HotKeyCenter(KeloPlatform::KeyGrabber &grabber)
    : m_registry(std::make_shared<detail::HotKeyRegistry>())
{
    m_registry->grabber = &grabber;
    // The grabber calls this from inside event processing; the action runs in a later turn of
    // the event loop, never inside the window system's callback.
    grabber.onPressed = [weak = std::weak_ptr<detail::HotKeyRegistry>(m_registry)](uint32_t id) {
        QCoreApplication *app = QCoreApplication::instance();
        if (app == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(
            app,
            [weak, id] {
                if (const auto registry = weak.lock()) {
                    dispatch(registry, id);
                }
            },
            Qt::QueuedConnection);
    };
}

HotKeyCenter::~HotKeyCenter()
{
    if (m_registry->grabber != nullptr) {
        m_registry->grabber->onPressed = nullptr;
        for (const auto &[id, handler] : m_registry->handlers) {
            m_registry->grabber->release(id);
        }
    }
    m_registry->grabber = nullptr;
    m_registry->handlers.clear();
}

std::unique_ptr<HotKey> HotKeyCenter::create(const HotKeyCombo &combo, std::function<void()> action)
{
    // Taken before registering, so a failed attempt still consumes its number.
    const uint32_t id = m_registry->nextId++;
    const std::optional<KeloPlatform::KeyChord> chord = chordFor(combo);
    if (!chord || !m_registry->grabber->grab(id, *chord)) {
        return nullptr;
    }
    m_registry->handlers[id] = std::move(action);
    return std::unique_ptr<HotKey>(new HotKey(id, combo, m_registry));
}

HotKey::HotKey(uint32_t id, const HotKeyCombo &combo,
               std::shared_ptr<detail::HotKeyRegistry> registry)
    : m_id(id), m_combo(combo), m_registry(std::move(registry))
{
}

HotKey::~HotKey()
{
    if (m_registry->grabber != nullptr) {
        m_registry->grabber->release(m_id);
    }
    m_registry->handlers.erase(m_id);
}
