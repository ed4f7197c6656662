#include "KeloHotkey/HotKey.h"

#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/KeyGrabber.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <map>
#include <utility>

namespace {

// Process-wide, touched on the main thread only.
struct Registry
{
    std::map<uint32_t, std::function<void()>> handlers;
    uint32_t nextId = 1;
    std::shared_ptr<KeloPlatform::KeyGrabber> sessionGrabber;
    std::shared_ptr<KeloPlatform::KeyGrabber> overrideGrabber;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

void dispatch(uint32_t id)
{
    Registry &state = registry();
    const auto found = state.handlers.find(id);
    if (found == state.handlers.end()) {
        return;
    }
    // Run a copy, with the map no longer in use: the action may create or destroy HotKeys,
    // its own included.
    const std::function<void()> action = found->second;
    if (action) {
        action();
    }
}

// The grabber calls this from inside event processing; the action runs in a later turn of the
// event loop, never inside the window system's callback.
void schedule(uint32_t id)
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, [id] { dispatch(id); }, Qt::QueuedConnection);
    }
}

std::shared_ptr<KeloPlatform::KeyGrabber> currentGrabber()
{
    Registry &state = registry();
    if (state.overrideGrabber) {
        return state.overrideGrabber;
    }
    // Chosen on first use: the event filter it installs stays for the life of the process.
    if (!state.sessionGrabber) {
        state.sessionGrabber = KeloPlatform::createKeyGrabber();
        state.sessionGrabber->onPressed = schedule;
    }
    return state.sessionGrabber;
}

std::optional<KeloPlatform::KeyChord> chordFor(const HotKeyCombo &combo)
{
    if (combo.keyCode > 0xffff) {
        return std::nullopt;
    }
    const std::optional<uint32_t> evdev = KeloPlatform::evdevCodeForMacKeyCode(uint16_t(combo.keyCode));
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

std::unique_ptr<HotKey> HotKey::create(const HotKeyCombo &combo, std::function<void()> action)
{
    std::shared_ptr<KeloPlatform::KeyGrabber> grabber = currentGrabber();
    Registry &state = registry();
    // Taken before registering, so a failed attempt still consumes its number.
    const uint32_t id = state.nextId++;
    const std::optional<KeloPlatform::KeyChord> chord = chordFor(combo);
    if (!chord || !grabber->grab(id, *chord)) {
        return nullptr;
    }
    state.handlers[id] = std::move(action);
    return std::unique_ptr<HotKey>(new HotKey(id, combo, std::move(grabber)));
}

HotKey::HotKey(uint32_t id, const HotKeyCombo &combo,
               std::shared_ptr<KeloPlatform::KeyGrabber> grabber)
    : m_id(id)
    , m_combo(combo)
    , m_grabber(std::move(grabber))
{
}

HotKey::~HotKey()
{
    m_grabber->release(m_id);
    registry().handlers.erase(m_id);
}

HotKey::ScopedGrabber::ScopedGrabber(std::shared_ptr<KeloPlatform::KeyGrabber> grabber)
{
    if (grabber) {
        grabber->onPressed = schedule;
    }
    m_previous = std::exchange(registry().overrideGrabber, std::move(grabber));
}

HotKey::ScopedGrabber::~ScopedGrabber()
{
    registry().overrideGrabber = std::move(m_previous);
}
