// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/X11Harness.h"

#include "KeloPlatform/Platform.h"
#include "KeloPlatform/WindowSystem.h"
#include "support/TestSupport.h"

#include <QProcess>

namespace KeloTest {

KeloPlatform::Platform &x11Platform()
{
    static const std::unique_ptr<KeloPlatform::Platform> x11 =
        KeloPlatform::createPlatform(QStringLiteral("x11"));
    return *x11;
}

std::optional<uint32_t> frontmostWindow()
{
    return frontmostWindow(*x11Platform().windowSystem);
}

QString helperProgram(const QString &name)
{
    return QStringLiteral(KELO_TEST_HELPER_DIR "/") + name;
}

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool pressKeys(const QStringList &keys)
{
    return xdotool(
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")} + keys);
}

bool setKeyboardLayout(const QString &layout, const QString &variant)
{
    QStringList arguments{layout};
    if (!variant.isEmpty()) {
        arguments << QStringLiteral("-variant") << variant;
    }
    return QProcess::execute(QStringLiteral("setxkbmap"), arguments) == 0;
}

UsLayoutRestorer::~UsLayoutRestorer()
{
    (void)setKeyboardLayout(QStringLiteral("us"));
}

QString readClipboard(const QString &target)
{
    return runProgram(QStringLiteral("xclip"),
                      {QStringLiteral("-o"), QStringLiteral("-selection"),
                       QStringLiteral("clipboard"), QStringLiteral("-t"), target});
}

std::optional<uint32_t> frontmostWindow(const KeloPlatform::WindowSystem &windows)
{
    const auto frontmost = windows.frontmostApplication();
    return frontmost ? std::optional(frontmost->windowId) : std::nullopt;
}

bool bringToFront(KeloPlatform::WindowSystem &windows, uint32_t window)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!windows.activate({window, std::nullopt})) {
            return false;
        }
        if (waitUntil([&] { return frontmostWindow(windows) == window; },
                      std::chrono::seconds(1))) {
            // Let late focus changes of just-mapped windows arrive, then check again.
            waitUntil([] { return false; }, std::chrono::milliseconds(150));
            if (frontmostWindow(windows) == window) {
                return true;
            }
        }
    }
    return false;
}

} // namespace KeloTest
