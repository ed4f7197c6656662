// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/RunningApplication.h"

#include <QRect>
#include <QString>

#include <optional>

namespace KeloPlatform {

// What an application calls its kind of window (on X11 the two names of WM_CLASS: the instance,
// usually the program's name, and the class). It tells a terminal from other programs.
struct WindowClass
{
    QString instanceName;
    QString className;

    bool operator==(const WindowClass &) const = default;
};

// Which application is in front, bringing another one there, and what the window manager can
// draw. Main thread only.
class WindowSystem
{
public:
    virtual ~WindowSystem() = default;

    // The application whose window has the focus, absent when none has or the window manager
    // does not say.
    [[nodiscard]] virtual std::optional<RunningApplication> frontmostApplication() const = 0;

    // Asks the window manager to raise and focus the application's window. False when the
    // request could not be sent, in particular when the window no longer exists; true only says
    // it was sent: the window manager decides.
    virtual bool activate(const RunningApplication &application) = 0;

    // The class of the application's window; absent when it is not known: the window has gone,
    // it names none, or the session does not tell one application about another's windows.
    [[nodiscard]] virtual std::optional<WindowClass>
    windowClass(const RunningApplication &application) const = 0;

    // Whether a compositing manager runs, so that translucent windows blend with what lies
    // behind them instead of showing black. Asked at each use: compositors come and go.
    [[nodiscard]] virtual bool isCompositing() const = 0;

    // Lets only `region` of one of our windows (in its native pixels) take the pointer, so that
    // clicks on a translucent margin around it reach whatever lies below. Where the window system
    // cannot, the whole window keeps taking them.
    virtual void setInputRegion(uint32_t windowId, const QRect &region)
    {
        (void)windowId;
        (void)region;
    }
};

} // namespace KeloPlatform
