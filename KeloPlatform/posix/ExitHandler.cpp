// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/ExitHandler.h"

#include <cstdlib>
#include <utility>

namespace KeloPlatform {
namespace {

ExitHandler *g_installed = nullptr;

} // namespace

ExitHandler::ExitHandler(std::function<void()> onExit) : m_onExit(std::move(onExit))
{
    // atexit() registrations cannot be taken back, so there is one for the process.
    static const bool isRegistered = std::atexit(&ExitHandler::runInstalled) == 0;
    if (isRegistered && g_installed == nullptr) {
        g_installed = this;
    }
}

ExitHandler::~ExitHandler()
{
    if (g_installed == this) {
        g_installed = nullptr;
    }
}

void ExitHandler::runInstalled()
{
    // Once: the function may itself end in exit().
    if (ExitHandler *handler = std::exchange(g_installed, nullptr)) {
        handler->m_onExit();
    }
}

} // namespace KeloPlatform
