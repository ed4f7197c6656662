// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/null/NullServices.h"

#include "KeloPlatform/qt/QtClipboard.h"

namespace KeloPlatform {

std::optional<RunningApplication> NullWindowSystem::frontmostApplication() const
{
    return std::nullopt;
}

bool NullWindowSystem::activate(const RunningApplication &)
{
    return false;
}

std::optional<WindowClass> NullWindowSystem::windowClass(const RunningApplication &) const
{
    return std::nullopt;
}

bool NullWindowSystem::isCompositing() const
{
    return false;
}

bool NullKeyGrabber::isAvailable() const
{
    return false;
}

bool NullKeyGrabber::grab(uint32_t, const KeyChord &)
{
    return false;
}

void NullKeyGrabber::release(uint32_t) {}

std::unique_ptr<Keymap> NullKeymapSource::currentKeymap() const
{
    return nullptr;
}

bool NullSyntheticKeys::isAvailable() const
{
    return false;
}

bool NullSyntheticKeys::sendWithControl(uint32_t)
{
    return false;
}

bool NullLoginItem::isEnabled() const
{
    return m_isEnabled;
}

std::optional<QString> NullLoginItem::setEnabled(bool enabled)
{
    m_isEnabled = enabled;
    return std::nullopt;
}

void NullSoundPlayer::play(const QString &) {}

bool NullScreenshotService::isAvailable() const
{
    return false;
}

std::optional<bool> NullScreenshotService::storedPermission() const
{
    return std::nullopt;
}

QCoro::Task<Screenshot> NullScreenshotService::takeInteractive()
{
    co_return Screenshot{Screenshot::Status::failed,
                         {},
                         false,
                         QStringLiteral("This session has no screenshot service.")};
}

bool NullPackageInstaller::isAvailable() const
{
    return false;
}

QCoro::Task<PackageInstall>
NullPackageInstaller::install(QStringList, std::function<void(const PackageInstallProgress &)>)
{
    co_return PackageInstall{PackageInstall::Status::failed,
                             QStringLiteral("This system has no package service to install "
                                            "packages from here.")};
}

std::unique_ptr<Platform> createNullPlatform()
{
    auto platform = std::make_unique<Platform>();
    platform->backend = QStringLiteral("null");
    platform->windowSystem = std::make_unique<NullWindowSystem>();
    platform->keyGrabber = std::make_unique<NullKeyGrabber>();
    platform->keymapSource = std::make_unique<NullKeymapSource>();
    platform->syntheticKeys = std::make_unique<NullSyntheticKeys>();
    platform->loginItem = std::make_unique<NullLoginItem>();
    platform->soundPlayer = std::make_unique<NullSoundPlayer>();
    platform->clipboard = std::make_unique<QtClipboard>();
    platform->screenshots = std::make_unique<NullScreenshotService>();
    platform->trayHost = std::make_unique<FixedTrayHost>(false);
    platform->packageInstaller = std::make_unique<NullPackageInstaller>();
    return platform;
}

} // namespace KeloPlatform
