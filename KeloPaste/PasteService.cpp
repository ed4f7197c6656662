// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPaste/PasteService.h"

#include "KeloPlatform/Clipboard.h"
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/SyntheticKeys.h"
#include "KeloPlatform/WindowSystem.h"
#include "KeloPlatform/qt/QtClipboard.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <chrono>

namespace {

Q_LOGGING_CATEGORY(lcPaste, "kelolens.paste")

// V on the ANSI layout, for layouts without a v.
constexpr uint16_t ansiVKeyCode = 9;
// Insert is where every layout has it.
constexpr uint32_t insertEvdevCode = 110;
constexpr std::chrono::milliseconds shortcutDelay(80);
// How often, and how many times, to look again whether our window still has the focus.
constexpr std::chrono::milliseconds focusPoll(20);
constexpr int focusPolls = 50;

} // namespace

PasteService::PasteService(KeloPlatform::WindowSystem &windows, KeloPlatform::SyntheticKeys &keys,
                           KeyboardLayout layout, KeloPlatform::Clipboard *clipboard)
    : m_windows(&windows), m_keys(&keys), m_layout(layout),
      m_ownClipboard(clipboard == nullptr ? std::make_unique<KeloPlatform::QtClipboard>()
                                          : nullptr),
      m_clipboard(clipboard == nullptr ? m_ownClipboard.get() : clipboard)
{
}

PasteService::~PasteService() = default;

std::optional<qint64> PasteService::writePlainText(const QString &text)
{
    if (!m_clipboard->writeText(text)) {
        return std::nullopt;
    }
    m_lastText = text;
    return ++m_changeCount;
}

bool PasteService::paste(const std::optional<KeloPlatform::RunningApplication> &target)
{
    if (!m_keys->isAvailable() || QCoreApplication::instance() == nullptr) {
        return false;
    }
    const PasteKeys keys = keysFor(target);
    // Shift+Insert pastes whatever the primary selection holds: without our text there it would
    // paste something else.
    if (keys == PasteKeys::shiftInsert && !m_clipboard->writeSelection(m_lastText)) {
        qCWarning(lcPaste).noquote() << QStringLiteral(
            "KeloLens: Shift+Insert not sent: the primary selection could not be taken");
        return false;
    }
    if (target) {
        const auto frontmost = m_windows->frontmostApplication();
        if ((!frontmost || !frontmost->isSameApplication(*target)) &&
            !m_windows->activate(*target)) {
            return false;
        }
    }
    // The service may go away with its owner before the keys are due; the timer then dies with
    // the guard object instead of reaching a dangling service.
    // A named target was brought to the front; without one (under Wayland no other window can
    // be named) the keys wait until the window manager has taken the focus from our windows.
    const int polls = target ? -1 : focusPolls;
    QTimer::singleShot(shortcutDelay, Qt::PreciseTimer, QCoreApplication::instance(),
                       [this, keys, polls, alive = std::weak_ptr<int>(m_alive)] {
                           if (!alive.expired()) {
                               sendWhenFocusLeft(keys, polls);
                           }
                       });
    return true;
}

PasteKeys PasteService::keysFor(const std::optional<KeloPlatform::RunningApplication> &target) const
{
    return target ? pasteKeysFor(m_windows->windowClass(*target)) : PasteKeys::controlV;
}

void PasteService::sendWhenFocusLeft(PasteKeys keys, int attemptsLeft)
{
    if (QGuiApplication::focusWindow() == nullptr || attemptsLeft < 0) {
        postPasteShortcut(keys);
        return;
    }
    if (attemptsLeft == 0) {
        qCWarning(lcPaste).noquote()
            << QStringLiteral("KeloLens: Ctrl+V not sent: a window of KeloLens kept the focus");
        return;
    }
    QTimer::singleShot(focusPoll, Qt::PreciseTimer, QCoreApplication::instance(),
                       [this, keys, attemptsLeft, alive = std::weak_ptr<int>(m_alive)] {
                           if (!alive.expired()) {
                               sendWhenFocusLeft(keys, attemptsLeft - 1);
                           }
                       });
}

void PasteService::postPasteShortcut(PasteKeys keys)
{
    if (keys == PasteKeys::shiftInsert) {
        KeloPlatform::KeyChord chord;
        chord.evdevCode = insertEvdevCode;
        chord.hasShift = true;
        m_keys->sendChord(chord);
        return;
    }
    const uint16_t macKeyCode = m_layout.keyCode(QStringLiteral("v")).value_or(ansiVKeyCode);
    auto evdevCode = KeloPlatform::evdevCodeForMacKeyCode(macKeyCode);
    if (!evdevCode) {
        evdevCode = KeloPlatform::evdevCodeForMacKeyCode(ansiVKeyCode);
    }
    if (!evdevCode) {
        return;
    }
    if (keys == PasteKeys::controlShiftV) {
        KeloPlatform::KeyChord chord;
        chord.evdevCode = *evdevCode;
        chord.hasControl = true;
        chord.hasShift = true;
        m_keys->sendChord(chord);
        return;
    }
    m_keys->sendCharacterWithControl(U'v', *evdevCode);
}
