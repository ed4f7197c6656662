// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/portal/PortalScreenReader.h"

#include "KeloPlatform/portal/PortalScreenshotService.h"
#include "KeloPlatform/wayland/WorkspaceImage.h"

#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcPortalScreen, "kelolens.platform.screen")

class PortalScreenReader final : public ScreenReader
{
public:
    PortalScreenReader(PortalScreenshotService &screenshots, QString waylandDisplay)
        : m_screenshots(&screenshots), m_waylandDisplay(std::move(waylandDisplay))
    {
    }

    [[nodiscard]] bool canRead() const override
    {
        return m_screenshots->isAvailable() && m_screenshots->storedPermission() == true;
    }

    QCoro::Task<ScreenContents> read() override
    {
        QList<MonitorImage> monitors = currentMonitors();
        if (monitors.isEmpty()) {
            co_return ScreenContents{{},
                                     screenReadFailure(QStringLiteral("no monitor is connected."))};
        }
        PortalScreenshotService *screenshots = m_screenshots;
        const Screenshot shot = co_await screenshots->takeNonInteractive();
        if (shot.status != Screenshot::Status::saved) {
            // The desktop asked, and the user said no: that answer is stored now.
            if (screenshots->storedPermission() == false) {
                co_return ScreenContents{
                    {},
                    QStringLiteral("KeloLens may not read the screen: you didn't allow it "
                                   "to take screenshots.")};
            }
            co_return ScreenContents{{},
                                     shot.message.isEmpty()
                                         ? screenReadFailure(QStringLiteral("no picture came."))
                                         : shot.message};
        }
        QImageReader reader(shot.path);
        const QImage workspace = reader.read();
        // The desktop put it among the user's pictures; it goes at once.
        if (shot.isOwnedByCaller) {
            QFile::remove(shot.path);
        }
        if (workspace.isNull()) {
            qCWarning(lcPortalScreen).noquote()
                << QStringLiteral("KeloLens: the desktop's picture of the screen could not be "
                                  "read: %1")
                       .arg(reader.errorString());
            co_return ScreenContents{{},
                                     screenReadFailure(QStringLiteral("the picture is broken."))};
        }
        co_return workspaceContents(workspace, std::move(monitors), m_waylandDisplay);
    }

    [[nodiscard]] bool canAskForAccess() const override
    {
        return m_screenshots->isAvailable() && !m_screenshots->storedPermission().has_value();
    }

    // The desktop asks before it takes the picture, which is not needed and goes at once.
    QCoro::Task<bool> askForAccess() override
    {
        PortalScreenshotService *screenshots = m_screenshots;
        const Screenshot shot = co_await screenshots->takeNonInteractive();
        if (shot.status == Screenshot::Status::saved && shot.isOwnedByCaller) {
            QFile::remove(shot.path);
        }
        co_return screenshots->storedPermission() == true;
    }

private:
    PortalScreenshotService *m_screenshots;
    QString m_waylandDisplay;
};

} // namespace

std::unique_ptr<ScreenReader> createPortalScreenReader(PortalScreenshotService &screenshots,
                                                       const QString &waylandDisplay)
{
    return std::make_unique<PortalScreenReader>(screenshots, waylandDisplay);
}

} // namespace KeloPlatform
