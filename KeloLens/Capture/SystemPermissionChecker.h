// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/PermissionChecker.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QVariantMap>

namespace KeloPlatform {
class ScreenshotService;
}

// The checker of a desktop session. Under X11 every client may read the screen, so access is
// always in force and there is nothing to request or open. Under Wayland the desktop's
// screenshot portal decides: a refusal the user stored there counts, and where nothing is stored
// access counts as granted, because the desktop asks at the first capture.
//
// The window-list test is kept for sessions that gate screen access: there, another
// application's window only shows its title when this process may read its contents.
class SystemPermissionChecker : public PermissionChecker
{
public:
    // Without a screenshot service (or with one that has nothing stored) access is granted. The
    // service must outlive the checker.
    explicit SystemPermissionChecker(const KeloPlatform::ScreenshotService *screenshots = nullptr)
        : m_screenshots(screenshots)
    {
    }

    // Keys of one window description in a window list.
    [[nodiscard]] bool isAskedAtCapture() const override;

    static constexpr auto ownerPidKey = "ownerPID";
    static constexpr auto layerKey = "layer";
    static constexpr auto ownerNameKey = "ownerName";
    static constexpr auto nameKey = "name";

    [[nodiscard]] bool isScreenRecordingGranted() const override;
    void requestScreenRecording() override;
    void openScreenRecordingSettings() override;

    // System components whose windows always show their titles, so they prove nothing.
    [[nodiscard]] static const QSet<QString> &excludedOwnerNames();

    // True when one window, in list order, belongs to another process, sits on the normal
    // layer (or names no layer), has an owner that is not a system component and a non-empty
    // title.
    [[nodiscard]] static bool otherAppShowsWindowTitle(const QList<QVariantMap> &windows,
                                                       qint64 ownPid);

private:
    const KeloPlatform::ScreenshotService *m_screenshots;
};
