// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace KeloPlatform {

// Runs a function when the process ends through exit() while this object lives. Qt's X11
// backend ends the process that way when the X server goes away, past the event loop and the
// destructors of everything on main's stack, so whatever those would clean up is left unless
// done here. Keep the function small: statics made after the first handler may already be gone.
// One at a time, main thread only: exit handlers belong to the whole process.
class ExitHandler
{
public:
    explicit ExitHandler(std::function<void()> onExit);
    ~ExitHandler();
    ExitHandler(const ExitHandler &) = delete;
    ExitHandler &operator=(const ExitHandler &) = delete;

private:
    static void runInstalled();

    std::function<void()> m_onExit;
};

} // namespace KeloPlatform
