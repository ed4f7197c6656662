// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/OverlayScreenCapturer.h"

#include "KeloLens/Capture/RegionCut.h"
#include "KeloLens/Capture/RegionSelector.h"
#include "KeloPlatform/ScreenReader.h"

#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcOverlayCapture, "kelolens.capture")

} // namespace

struct OverlayScreenCapturer::Run
{
    bool isCancelled = false;
};

OverlayScreenCapturer::OverlayScreenCapturer(KeloPlatform::ScreenReader &reader,
                                             RegionSelector &selector)
    : m_reader(&reader), m_selector(&selector)
{
}

OverlayScreenCapturer::~OverlayScreenCapturer()
{
    cancel();
}

void OverlayScreenCapturer::cancel()
{
    if (const std::shared_ptr<Run> run = m_running.lock()) {
        run->isCancelled = true;
        m_selector->cancel();
    }
}

QCoro::Task<CaptureOutcome> OverlayScreenCapturer::capture()
{
    const auto run = std::make_shared<Run>();
    m_running = run;
    // Only the selector and copies are used after the first wait: the capturer may be gone then,
    // the selector (owned with the windows) is not.
    RegionSelector *selector = m_selector;

    const KeloPlatform::ScreenContents contents = co_await m_reader->read();
    if (run->isCancelled) {
        co_return CaptureCancelled{};
    }
    if (!contents.failure.isEmpty() || contents.monitors.isEmpty()) {
        qCWarning(lcOverlayCapture).noquote()
            << QStringLiteral("KeloLens: the screen could not be read: %1").arg(contents.failure);
        co_return CaptureFailed{contents.failure.isEmpty()
                                    ? QStringLiteral("Couldn't read the screen.")
                                    : contents.failure};
    }
    const std::optional<ExactRect> selection = co_await selector->select(contents.monitors);
    if (run->isCancelled || !selection) {
        co_return CaptureCancelled{};
    }
    const QImage image = RegionCut::cut(contents.monitors, *selection);
    if (image.isNull()) {
        co_return CaptureCancelled{};
    }
    co_return CapturedImage{image, SelectedRegion{*selection, false}};
}
