// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/PackageKitInstaller.h"

#include "KeloPlatform/xdg/PackageKitTransaction.h"

#include <QDBusConnectionInterface>
#include <QLocale>
#include <QLoggingCategory>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcPackages, "kelolens.platform.packages")

using namespace packagekit;

PackageInstall failed(const QString &message)
{
    qCWarning(lcPackages).noquote() << QStringLiteral("KeloLens: ") + message;
    return {PackageInstall::Status::failed, message};
}

QString listed(const QStringList &names)
{
    return names.join(QStringLiteral(", "));
}

// The transaction hints: the daemon may ask the user for permission, and speaks their language.
QStringList hints()
{
    return {QStringLiteral("interactive=true"),
            QStringLiteral("locale=") + QLocale::system().name() + QStringLiteral(".UTF-8")};
}

} // namespace

PackageKitInstaller::PackageKitInstaller(QDBusConnection bus) : m_bus(std::move(bus)) {}

bool PackageKitInstaller::isAvailable() const
{
    if (!m_bus.isConnected() || m_bus.interface() == nullptr) {
        return false;
    }
    const QString name = QString::fromLatin1(service);
    return m_bus.interface()->isServiceRegistered(name).value() ||
           m_bus.interface()->activatableServiceNames().value().contains(name);
}

QCoro::Task<PackageInstall>
PackageKitInstaller::install(QStringList packageNames,
                             std::function<void(const PackageInstallProgress &)> onProgress)
{
    if (packageNames.isEmpty()) {
        co_return PackageInstall{PackageInstall::Status::installed, {}};
    }
    // The installer may go before the installation ends (the application quits).
    const QDBusConnection bus = m_bus;
    if (!isAvailable()) {
        co_return failed(QStringLiteral("PackageKit isn't running, so packages can't be "
                                        "installed from here."));
    }

    Transaction resolve(bus, QStringLiteral("Resolve"),
                        {QVariant::fromValue(filterNone), packageNames}, hints());
    const TransactionEnd resolved = co_await TransactionAwaiter(resolve);
    if (resolved.exit != exitSuccess) {
        co_return failed(QStringLiteral("Couldn't look up %1: %2")
                             .arg(listed(packageNames), resolved.errorDetails));
    }
    QStringList ids;
    QStringList missing;
    for (const QString &name : std::as_const(packageNames)) {
        bool isInstalled = false;
        QString available;
        for (const PackageLine &line : resolved.packages) {
            if (line.name() != name) {
                continue;
            }
            isInstalled = isInstalled || line.info == infoInstalled;
            if (line.info == infoAvailable && available.isEmpty()) {
                available = line.id;
            }
        }
        if (isInstalled) {
            continue;
        }
        if (available.isEmpty()) {
            missing << name;
        } else {
            ids << available;
        }
    }
    if (!missing.isEmpty()) {
        co_return failed(QStringLiteral("%1 isn't available from this system's package sources.")
                             .arg(listed(missing)));
    }
    if (ids.isEmpty()) {
        co_return PackageInstall{PackageInstall::Status::installed, {}};
    }

    Transaction install(bus, QStringLiteral("InstallPackages"),
                        {QVariant::fromValue(flagOnlyTrusted), ids}, hints());
    install.onProgress = std::move(onProgress);
    const TransactionEnd installed = co_await TransactionAwaiter(install);
    if (installed.exit == exitSuccess) {
        co_return PackageInstall{PackageInstall::Status::installed, {}};
    }
    if (installed.exit == exitCancelled || installed.exit == exitCancelledPriority ||
        installed.errorCode == errorTransactionCancelled) {
        co_return PackageInstall{PackageInstall::Status::cancelled,
                                 QStringLiteral("The installation was cancelled.")};
    }
    if (installed.errorCode == errorNotAuthorized) {
        // The user closed the password prompt, or may not install software at all.
        co_return PackageInstall{PackageInstall::Status::cancelled,
                                 QStringLiteral("The installation wasn't authorized.")};
    }
    co_return failed(
        QStringLiteral("Couldn't install %1: %2")
            .arg(listed(packageNames), installed.errorDetails.isEmpty()
                                           ? QStringLiteral("the package service gave no reason")
                                           : installed.errorDetails));
}

} // namespace KeloPlatform
