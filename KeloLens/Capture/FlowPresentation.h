#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"
#include "KeloLens/Results/PanelMode.h"
#include "KeloPlatform/ExactRect.h"

#include <optional>

// What the results panel is asked to show after a capture that found something.
struct FlowPresentation
{
    RecognitionResult result;
    PanelMode mode = PanelMode::all;
    // The selection in global screen coordinates, as estimated by the capturer; the panel opens
    // next to it.
    std::optional<ExactRect> region;

    bool operator==(const FlowPresentation &) const = default;
};
