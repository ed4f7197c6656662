// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/ScreenshotService.h"

#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <chrono>

class QDateTime;

namespace KeloPlatform {
namespace portal {
struct PortalResponse;
}

// Screenshots through the desktop's Screenshot portal, interactive: the desktop shows its own
// selection (GNOME's area selection, KDE's dialog). The permission is read from the portal's
// permission store.
class PortalScreenshotService final : public QObject, public ScreenshotService
{
public:
    // How long a user may take to select before the request is given up.
    static constexpr std::chrono::minutes defaultTimeout{3};
    // The names the portal may know this application by: its desktop file's name when it was
    // launched from it, nothing for an application it cannot identify.
    static QStringList permissionAppIds();

    // What the portal's answer to a screenshot request started at `requestStart` means for the
    // capture: a refusal, a failure with the user's message, or the file to read.
    [[nodiscard]] static Screenshot fromResponse(const portal::PortalResponse &response,
                                                 const QDateTime &requestStart);

    explicit PortalScreenshotService(QDBusConnection bus,
                                     std::chrono::milliseconds timeout = defaultTimeout);

    [[nodiscard]] bool isAvailable() const override;
    [[nodiscard]] std::optional<bool> storedPermission() const override;
    // The portal's permission store takes entries back from any application of the session.
    [[nodiscard]] bool canForgetRefusal() const override;
    bool forgetRefusal() override;
    QCoro::Task<Screenshot> takeInteractive() override;
    // The whole desktop, without the user selecting: where the user allowed the application to
    // take screenshots at any time. Where nothing is stored yet, the desktop asks once (and
    // stores the answer); where a refusal is stored, it fails.
    QCoro::Task<Screenshot> takeNonInteractive();

private:
    QCoro::Task<Screenshot> take(bool isInteractive);

    // The apps the store names, each with what it holds for it; absent when it cannot be read.
    [[nodiscard]] std::optional<QMap<QString, QStringList>> storedEntries() const;

    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
    mutable std::optional<bool> m_isAvailable;
};

} // namespace KeloPlatform
