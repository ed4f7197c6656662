// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

#include <functional>

namespace KeloPlatform {

// How an installation of system packages ended.
struct PackageInstall
{
    enum class Status {
        // Every package asked for is installed now (some may have been installed before).
        installed,
        // The user declined, for instance in the desktop's password prompt.
        cancelled,
        // Nothing or not everything was installed; `message` says why, in words for the user.
        failed,
    };

    Status status = Status::failed;
    QString message;

    bool operator==(const PackageInstall &) const = default;
};

// Where an installation has got to.
struct PackageInstallProgress
{
    // The share done, 0 to 100, or -1 while the service cannot tell.
    int percent = -1;
    // What happens now, in words for the user ("Waiting for permission…"); empty when the
    // service does not say.
    QString step;

    bool operator==(const PackageInstallProgress &) const = default;
};

// Installs packages of the distribution by name, through the system's package service, which asks
// the user for permission with the desktop's own prompt. Main thread only.
class PackageInstaller
{
public:
    virtual ~PackageInstaller() = default;

    // Whether the system offers the service at all; when it does not, the user installs packages
    // with the distribution's own tools.
    [[nodiscard]] virtual bool isAvailable() const = 0;

    // Installs the packages; suspends until that has ended, however it ended. `onProgress` is
    // called on the main thread as the installation goes on.
    virtual QCoro::Task<PackageInstall>
    install(QStringList packageNames,
            std::function<void(const PackageInstallProgress &)> onProgress) = 0;
};

} // namespace KeloPlatform
