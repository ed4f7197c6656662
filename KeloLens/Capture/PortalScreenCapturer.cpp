// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/PortalScreenCapturer.h"

#include "KeloPlatform/ScreenshotService.h"

#include <QCoro/QCoroFuture>
#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Puts the desktop's file at `path`: moved when it was made for us (and deleted with our copy),
// copied when it is the user's.
bool takeFile(const KeloPlatform::Screenshot &screenshot, const QString &path)
{
    if (screenshot.isOwnedByCaller) {
        if (QFile::rename(screenshot.path, path)) {
            return true;
        }
        // Another file system: copy, then remove the original.
        const bool isCopied = QFile::copy(screenshot.path, path);
        QFile::remove(screenshot.path);
        return isCopied;
    }
    return QFile::copy(screenshot.path, path);
}

} // namespace

struct PortalScreenCapturer::Run
{
    QString path;
    bool isCancelled = false;
};

PortalScreenCapturer::PortalScreenCapturer(KeloPlatform::ScreenshotService &screenshots,
                                           QString directory)
    : m_screenshots(&screenshots), m_directory(std::move(directory))
{
}

void PortalScreenCapturer::cancel()
{
    if (const std::shared_ptr<Run> run = m_running.lock()) {
        run->isCancelled = true;
        const CaptureFiles::Remover remover(run->path);
    }
}

int PortalScreenCapturer::removeLeftovers()
{
    return CaptureFiles::removeLeftovers(m_directory);
}

QCoro::Task<CaptureOutcome> PortalScreenCapturer::capture()
{
    if (std::optional<CaptureFailed> failure = CaptureFiles::ensurePrivateFolder(m_directory)) {
        co_return *failure;
    }
    // Only copies are used after the first wait: the capturer may be gone by then.
    const auto run = std::make_shared<Run>(Run{CaptureFiles::newCapturePath(m_directory)});
    m_running = run;
    const CaptureFiles::Remover remover(run->path);

    const KeloPlatform::Screenshot screenshot = co_await m_screenshots->takeInteractive();
    if (run->isCancelled) {
        if (screenshot.status == KeloPlatform::Screenshot::Status::saved &&
            screenshot.isOwnedByCaller) {
            QFile::remove(screenshot.path);
        }
        co_return CaptureCancelled{};
    }
    switch (screenshot.status) {
    case KeloPlatform::Screenshot::Status::cancelled:
        co_return CaptureCancelled{};
    case KeloPlatform::Screenshot::Status::failed:
        co_return CaptureFailed{screenshot.message};
    case KeloPlatform::Screenshot::Status::saved:
        break;
    }
    if (!takeFile(screenshot, run->path)) {
        co_return CaptureFailed{QStringLiteral("The capture couldn't be read")};
    }
    const ImageReading::Outcome read = co_await QtConcurrent::run(&ImageReading::read, run->path);
    if (run->isCancelled) {
        co_return CaptureCancelled{};
    }
    if (std::optional<CaptureFailed> failure = CaptureFiles::readFailure(read)) {
        co_return *failure;
    }
    co_return CapturedImage{read.image, std::nullopt};
}
