// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/PackageInstaller.h"

#include <QDBusConnection>

namespace KeloPlatform {

// Installs packages through PackageKit on the system bus: the names are resolved to the packages
// the distribution offers, then installed as one transaction, trusted packages only. PackageKit
// asks polkit, which shows the desktop's own authentication prompt.
class PackageKitInstaller final : public PackageInstaller
{
public:
    explicit PackageKitInstaller(QDBusConnection bus);

    // PackageKit is running or can be started by the bus.
    [[nodiscard]] bool isAvailable() const override;
    QCoro::Task<PackageInstall>
    install(QStringList packageNames,
            std::function<void(const PackageInstallProgress &)> onProgress) override;

private:
    QDBusConnection m_bus;
};

} // namespace KeloPlatform
