// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/CapturerChoice.h"

#include "KeloLens/Capture/OverlayScreenCapturer.h"
#include "KeloLens/Capture/PortalScreenCapturer.h"
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"
#include "KeloPlatform/Platform.h"

namespace {

// Decides anew at each capture: the setting may change, and so may what the desktop allows.
class ChoosingCapturer final : public ScreenCapturer
{
public:
    ChoosingCapturer(std::unique_ptr<ScreenCapturer> own, std::unique_ptr<ScreenCapturer> tool,
                     KeloPlatform::ScreenReader &reader, std::function<bool()> isOwnPreferred)
        : m_own(std::move(own)), m_tool(std::move(tool)), m_reader(&reader),
          m_isOwnPreferred(std::move(isOwnPreferred))
    {
    }

    QCoro::Task<CaptureOutcome> capture() override
    {
        return (selectsOwn() ? m_own : m_tool)->capture();
    }
    void cancel() override
    {
        m_own->cancel();
        m_tool->cancel();
    }
    int removeLeftovers() override { return m_own->removeLeftovers() + m_tool->removeLeftovers(); }
    // Only the tool that would select now may need installing.
    [[nodiscard]] QString missingToolCommand() const override
    {
        return selectsOwn() ? QString() : m_tool->missingToolCommand();
    }

private:
    [[nodiscard]] bool selectsOwn() const
    {
        return (!m_isOwnPreferred || m_isOwnPreferred()) && m_reader->canRead();
    }

    std::unique_ptr<ScreenCapturer> m_own;
    std::unique_ptr<ScreenCapturer> m_tool;
    KeloPlatform::ScreenReader *m_reader;
    std::function<bool()> m_isOwnPreferred;
};

} // namespace

std::unique_ptr<ScreenCapturer>
createDesktopToolCapturer(KeloPlatform::ScreenshotService &screenshots,
                          const QProcessEnvironment &environment,
                          const std::function<QString(const QString &)> &findExecutable)
{
    std::optional<CaptureTool> tool =
        ScreencaptureCLICapturer::chooseTool(environment, findExecutable);
    if (!tool && KeloPlatform::isWaylandSession(environment)) {
        // Even without a portal this is the capturer to have: its failure says what is missing.
        return std::make_unique<PortalScreenCapturer>(screenshots);
    }
    return std::make_unique<ScreencaptureCLICapturer>(
        std::move(tool), CaptureFiles::defaultFolder(), ScreencaptureCLICapturer::toolTimeout,
        ScreencaptureCLICapturer::toolToInstall(environment));
}

std::unique_ptr<ScreenCapturer> createScreenCapturer(KeloPlatform::ScreenshotService &screenshots,
                                                     KeloPlatform::ScreenReader &reader,
                                                     RegionSelector &selector,
                                                     std::function<bool()> isOwnSelectionPreferred,
                                                     const QProcessEnvironment &environment)
{
    return std::make_unique<ChoosingCapturer>(
        std::make_unique<OverlayScreenCapturer>(reader, selector),
        createDesktopToolCapturer(screenshots, environment), reader,
        std::move(isOwnSelectionPreferred));
}
