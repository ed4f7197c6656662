// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/PortalScreenCapturer.h"

#include "KeloLens/Capture/CaptureFiles.h"
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"
#include "KeloPlatform/ScreenshotService.h"

#include <QCoro/QCoroFuture>
#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

namespace {

const QString unreadable = QStringLiteral("The capture couldn't be read");

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

PortalScreenCapturer::PortalScreenCapturer(KeloPlatform::ScreenshotService &screenshots,
                                           QString directory)
    : m_screenshots(&screenshots), m_directory(std::move(directory))
{
}

QString PortalScreenCapturer::defaultDirectory()
{
    return ScreencaptureCLICapturer::defaultDirectory();
}

QCoro::Task<CaptureOutcome> PortalScreenCapturer::capture()
{
    if (const auto error = CaptureFiles::ensurePrivateFolder(m_directory)) {
        co_return CaptureFailed{QStringLiteral("Couldn't create the capture folder: ") + *error};
    }
    const QString path = CaptureFiles::newCapturePath(m_directory);
    const CaptureFiles::Remover remover(path);

    const KeloPlatform::Screenshot screenshot = co_await m_screenshots->takeInteractive();
    switch (screenshot.status) {
    case KeloPlatform::Screenshot::Status::cancelled:
        co_return CaptureCancelled{};
    case KeloPlatform::Screenshot::Status::failed:
        co_return CaptureFailed{screenshot.message};
    case KeloPlatform::Screenshot::Status::saved:
        break;
    }
    if (!takeFile(screenshot, path)) {
        co_return CaptureFailed{unreadable};
    }
    const QImage image = co_await QtConcurrent::run(CaptureFiles::readImage, path);
    if (image.isNull()) {
        co_return CaptureFailed{unreadable};
    }
    co_return CapturedImage{image, std::nullopt};
}
