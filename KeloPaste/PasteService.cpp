#include "KeloPaste/PasteService.h"

#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/SyntheticKeys.h"
#include "KeloPlatform/WindowSystem.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>
#include <chrono>

namespace {

// V on the ANSI layout, for layouts without a v.
constexpr uint16_t ansiVKeyCode = 9;
constexpr std::chrono::milliseconds shortcutDelay(80);

} // namespace

PasteService::PasteService(KeloPlatform::WindowSystem &windows, KeloPlatform::SyntheticKeys &keys,
                           KeyboardLayout layout)
    : m_windows(&windows), m_keys(&keys), m_layout(layout)
{
}

qint64 PasteService::writePlainText(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
    return ++m_changeCount;
}

bool PasteService::paste(const std::optional<KeloPlatform::RunningApplication> &target)
{
    if (!m_keys->isAvailable() || QCoreApplication::instance() == nullptr)
        return false;
    if (target) {
        const auto frontmost = m_windows->frontmostApplication();
        if ((!frontmost || !frontmost->isSameApplication(*target)) && !m_windows->activate(*target))
            return false;
    }
    // The service may go away with its owner before the keys are due; the timer then dies with
    // the guard object instead of reaching a dangling service.
    QTimer::singleShot(shortcutDelay, Qt::PreciseTimer, QCoreApplication::instance(),
                       [this, alive = std::weak_ptr<int>(m_alive)] {
                           if (!alive.expired())
                               postPasteShortcut();
                       });
    return true;
}

void PasteService::postPasteShortcut()
{
    const uint16_t macKeyCode = m_layout.keyCode(QStringLiteral("v")).value_or(ansiVKeyCode);
    auto evdevCode = KeloPlatform::evdevCodeForMacKeyCode(macKeyCode);
    if (!evdevCode)
        evdevCode = KeloPlatform::evdevCodeForMacKeyCode(ansiVKeyCode);
    if (evdevCode)
        m_keys->sendWithControl(*evdevCode);
}
