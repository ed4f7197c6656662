// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QStringList>

// The user's settings one capture reads, taken when it starts recognizing.
struct CaptureSettings
{
    // BCP 47 tags; none means automatic.
    QStringList languages;
    RecognitionOptions options;
    bool playSound = false;
    bool showPanel = true;

    bool operator==(const CaptureSettings &) const = default;
};
