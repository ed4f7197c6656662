// SPDX-License-Identifier: GPL-3.0-or-later
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
    // HotKeys waiting for the desktop's answer.
    std::map<uint32_t, HotKey *> pending;
    uint32_t nextId = 1;

    void settle(uint32_t id, const KeloPlatform::GrabAnswer &answer);
};

void HotKeyRegistry::settle(uint32_t id, const KeloPlatform::GrabAnswer &answer)
{
    const auto found = pending.find(id);
    if (found == pending.end()) {
        return;
    }
    HotKey *hotKey = found->second;
    pending.erase(found);
    if (answer.isTaken) {
        hotKey->m_registration = HotKey::Registration::registered;
        hotKey->m_boundTrigger = answer.trigger;
    } else {
        hotKey->m_registration = HotKey::Registration::refused;
        handlers.erase(id);
    }
    // A copy: the callback may destroy the HotKey.
    const auto callback = hotKey->onSettled;
    if (callback) {
        callback(answer.isTaken);
    }
}

} // namespace detail

namespace {

// Runs `work` in a later turn of the event loop with the registry, if it is still there: the
// grabber calls from inside event processing, and nothing runs inside the window system's
// callback.
void later(const std::weak_ptr<detail::HotKeyRegistry> &weak,
           std::function<void(const std::shared_ptr<detail::HotKeyRegistry> &)> work)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        app,
        [weak, work = std::move(work)] {
            if (const auto registry = weak.lock()) {
                work(registry);
            }
        },
        Qt::QueuedConnection);
}

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
    const std::weak_ptr<detail::HotKeyRegistry> weak = m_registry;
    grabber.onPressed = [weak](uint32_t id) {
        later(weak, [id](const auto &registry) { dispatch(registry, id); });
    };
    grabber.onAnswered = [weak](uint32_t id, const KeloPlatform::GrabAnswer &answer) {
        later(weak, [id, answer](const auto &registry) {
            if (registry->grabber != nullptr) {
                registry->settle(id, answer);
            }
        });
    };
}

HotKeyCenter::~HotKeyCenter()
{
    if (m_registry->grabber != nullptr) {
        m_registry->grabber->onPressed = nullptr;
        m_registry->grabber->onAnswered = nullptr;
        for (const auto &[id, handler] : m_registry->handlers) {
            m_registry->grabber->release(id);
        }
    }
    m_registry->grabber = nullptr;
    m_registry->handlers.clear();
    m_registry->pending.clear();
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
    const bool isPending = m_registry->grabber->answersLater();
    std::unique_ptr<HotKey> hotKey(new HotKey(
        id, combo, isPending ? HotKey::Registration::pending : HotKey::Registration::registered,
        m_registry));
    if (isPending) {
        m_registry->pending[id] = hotKey.get();
    }
    return hotKey;
}

bool HotKeyCenter::hasGlobalShortcuts() const
{
    return m_registry->grabber != nullptr && m_registry->grabber->isAvailable();
}

HotKey::HotKey(uint32_t id, const HotKeyCombo &combo, Registration registration,
               std::shared_ptr<detail::HotKeyRegistry> registry)
    : m_id(id), m_combo(combo), m_registration(registration), m_registry(std::move(registry))
{
}

HotKey::~HotKey()
{
    if (m_registry->grabber != nullptr && m_registration != Registration::refused) {
        m_registry->grabber->release(m_id);
    }
    m_registry->handlers.erase(m_id);
    m_registry->pending.erase(m_id);
}
