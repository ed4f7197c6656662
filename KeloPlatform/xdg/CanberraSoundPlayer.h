// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/SoundPlayer.h"

#include <memory>

namespace KeloPlatform {

// Event sounds of the freedesktop sound theme, played through libcanberra (which finds the
// theme's file and hands it to the session's sound server). Any desktop session, X11 or Wayland.
// The first failure is logged once; after that a missing theme or server is silent.
class CanberraSoundPlayer final : public SoundPlayer
{
public:
    CanberraSoundPlayer();
    ~CanberraSoundPlayer() override;
    CanberraSoundPlayer(const CanberraSoundPlayer &) = delete;
    CanberraSoundPlayer &operator=(const CanberraSoundPlayer &) = delete;

    void play(const QString &eventId) override;

    // Plays so far that could not be made (no context, no sound server, no such sound).
    [[nodiscard]] int failureCount() const { return m_failureCount; }

private:
    struct Context;
    std::unique_ptr<Context> m_context;
    int m_failureCount = 0;
};

} // namespace KeloPlatform
