#include "KeloPaste/PasteService.h"

#include "KeloHotkey/KeyboardLayout.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/SyntheticKeys.h"
#include "KeloPlatform/WindowSystem.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>
#include <chrono>

namespace PasteService {
namespace {

// V on the ANSI layout, for layouts without a v.
constexpr uint16_t ansiVKeyCode = 9;
constexpr std::chrono::milliseconds shortcutDelay(80);

qint64 changeCount = 0;

} // namespace

qint64 writePlainText(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
    return ++changeCount;
}

bool paste(const std::optional<KeloPlatform::RunningApplication> &target)
{
    if (!Accessibility::isTrusted() || QCoreApplication::instance() == nullptr)
        return false;
    if (target) {
        KeloPlatform::WindowSystem &windows = KeloPlatform::windowSystem();
        const auto frontmost = windows.frontmostApplication();
        if (!frontmost || !frontmost->isSameApplication(*target))
            windows.activate(*target);
    }
    QTimer::singleShot(shortcutDelay, Qt::PreciseTimer, QCoreApplication::instance(),
                       [] { postPasteShortcut(); });
    return true;
}

void postPasteShortcut()
{
    const uint16_t macKeyCode = KeyboardLayout::keyCode(QStringLiteral("v")).value_or(ansiVKeyCode);
    auto evdevCode = KeloPlatform::evdevCodeForMacKeyCode(macKeyCode);
    if (!evdevCode)
        evdevCode = KeloPlatform::evdevCodeForMacKeyCode(ansiVKeyCode);
    if (evdevCode)
        KeloPlatform::SyntheticKeys::sendWithControl(*evdevCode);
}

} // namespace PasteService
