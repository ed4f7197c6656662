// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/TrayHost.h"

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;

namespace KeloPlatform {

// The tray of desktops that show status icons as StatusNotifierItems (KDE Plasma, waybar, the
// AppIndicator extension on GNOME): there is one while a StatusNotifierWatcher is on the session
// bus with a host registered to it, which is also what Qt asks before it makes such an icon.
class StatusNotifierTrayHost final : public QObject, public TrayHost
{
    Q_OBJECT

public:
    static constexpr auto watcherService = "org.kde.StatusNotifierWatcher";

    // Starts with no tray and asks the bus; the answer comes through onAvailabilityChanged.
    explicit StatusNotifierTrayHost(QDBusConnection bus);

    [[nodiscard]] bool isAvailable() const override { return m_isAvailable; }

private Q_SLOTS:
    void update();

private:
    void setAvailable(bool isAvailable);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher;
    bool m_isAvailable = false;
};

} // namespace KeloPlatform
