// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"
#include "KeloLens/Recognition/RecognitionModel.h"

#include <QtGlobal>

#include <optional>

// What the results panel is asked to show after a capture that found something.
struct FlowPresentation
{
    // A text capture acts on the text and the codes; a code capture only on the codes.
    enum class Mode { all, codesOnly };

    RecognitionResult result;
    Mode mode = Mode::all;
    // The selection in global screen coordinates, as estimated by the capturer; the panel opens
    // next to it.
    std::optional<ExactRect> region;
    // Which capture of this run it is, counting from 1: showing it again keeps what the user
    // edited, while a new capture is another result even when it reads the same.
    quint64 captureNumber = 0;
    // Something the panel should say about how the text was read ("This looks like Cyrillic
    // text…"); empty for nothing.
    QString notice{};

    bool operator==(const FlowPresentation &) const = default;
};
