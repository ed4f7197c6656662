// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace KeloPlatform {

// Short event sounds from the desktop's sound theme. Main thread only.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;

    // Plays the theme's sound for the event ("screen-capture" and the like) without waiting for
    // it. A missing theme, sound or sound server means silence, never an error.
    virtual void play(const QString &eventId) = 0;
};

} // namespace KeloPlatform
