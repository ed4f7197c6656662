// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/AppDelegate/ReadAgain.h"

#include "KeloLens/Capture/CaptureFlow.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Results/ResultPanelController.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloPanel/FloatingPanelController.h"

#include <QPointer>

namespace {

QCoro::Task<> readAgain(QPointer<CaptureFlow> flow, QPointer<ResultViewModel> model,
                        Reading reading)
{
    std::optional<RecognitionResult> result;
    if (flow) {
        QCoro::Task<std::optional<RecognitionResult>> reading_ =
            flow->readShownCaptureAgain(reading);
        result = co_await std::move(reading_);
    }
    if (model) {
        model->finishReading(result, reading);
    }
}

} // namespace

namespace ReadAgain {

void connect(CaptureFlow &flow, ResultViewModel &model, ResultPanelController &panel,
             std::function<void()> openLanguageSettings)
{
    const QPointer<CaptureFlow> flowPointer(&flow);
    const QPointer<ResultViewModel> modelPointer(&model);
    model.onReadAs = [flowPointer, modelPointer](const Reading &reading) {
        // Runs on through the event loop; the model hears of the end.
        [[maybe_unused]] QCoro::Task<> task = readAgain(flowPointer, modelPointer, reading);
    };
    model.onOpenLanguageSettings = std::move(openLanguageSettings);
    // A closed panel keeps no image of the screen.
    panel.panel().onDidHide = [flowPointer, modelPointer] {
        if (flowPointer) {
            flowPointer->dropShownCapture();
        }
        if (modelPointer) {
            modelPointer->setReadAgain(std::nullopt, {});
            modelPointer->setNotice({});
        }
    };
}

void presented(const FlowPresentation &presentation, CaptureFlow &flow, ResultViewModel &model)
{
    model.setNotice(presentation.notice);
    const std::optional<Reading> reading = flow.shownReading();
    model.setReadAgain(reading, reading ? RecognitionLanguages::installedLanguages(
                                              RecognitionLanguages::dataDirectory())
                                        : QStringList());
}

} // namespace ReadAgain
