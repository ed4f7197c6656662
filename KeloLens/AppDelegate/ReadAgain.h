// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class CaptureFlow;
class ResultPanelController;
class ResultViewModel;
struct FlowPresentation;

// Reading the capture the results panel shows again, from the panel's "Read as" menu: the flow
// keeps the image while the panel shows it, and drops it when the panel closes.
namespace ReadAgain {

// Wires the model's requests to the flow; all three must outlive the wiring.
void connect(CaptureFlow &flow, ResultViewModel &model, ResultPanelController &panel,
             std::function<void()> openLanguageSettings);

// After the panel was asked to show a presentation: its notice, and what it may be read again
// as.
void presented(const FlowPresentation &presentation, CaptureFlow &flow, ResultViewModel &model);

} // namespace ReadAgain
