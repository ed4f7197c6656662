#pragma once

#include "KeloPlatform/RunningApplication.h"

#include <memory>
#include <optional>

namespace KeloPlatform {

// Which application is in front, and bringing another one there. Main thread only.
class WindowSystem
{
public:
    virtual ~WindowSystem() = default;

    // The application whose window has the focus, absent when none has or the window manager
    // does not say.
    [[nodiscard]] virtual std::optional<RunningApplication> frontmostApplication() const = 0;

    // Asks the window manager to raise and focus the application's window. The answer only
    // says whether the request could be sent; the window manager decides.
    virtual bool activate(const RunningApplication &application) = 0;
};

// The X11 window system when the application runs on X11, otherwise one that knows no windows.
[[nodiscard]] std::unique_ptr<WindowSystem> createWindowSystem();
[[nodiscard]] std::unique_ptr<WindowSystem> createNullWindowSystem();

// One shared instance, created on first use with createWindowSystem().
[[nodiscard]] WindowSystem &windowSystem();

} // namespace KeloPlatform
