// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/Platform.h"

// The services of a session this application cannot reach into (no X server, an unknown session,
// the offscreen platform): nothing is in front, nothing can be grabbed, sent or heard; the
// clipboard is Qt's own. Tests use them as the neutral stand-in for whatever they do not fake.
namespace KeloPlatform {

class NullWindowSystem final : public WindowSystem
{
public:
    [[nodiscard]] std::optional<RunningApplication> frontmostApplication() const override;
    bool activate(const RunningApplication &application) override;
    [[nodiscard]] std::optional<WindowClass>
    windowClass(const RunningApplication &application) const override;
    [[nodiscard]] bool isCompositing() const override;
};

class NullKeyGrabber final : public KeyGrabber
{
public:
    [[nodiscard]] bool isAvailable() const override;
    [[nodiscard]] bool grab(uint32_t id, const KeyChord &chord) override;
    void release(uint32_t id) override;
};

class NullKeymapSource final : public KeymapSource
{
public:
    [[nodiscard]] std::unique_ptr<Keymap> currentKeymap() const override;
};

class NullSyntheticKeys final : public SyntheticKeys
{
public:
    [[nodiscard]] bool isAvailable() const override;
    bool sendWithControl(uint32_t evdevCode) override;
};

// Remembers the wish for this run only.
class NullLoginItem final : public LoginItem
{
public:
    [[nodiscard]] bool isEnabled() const override;
    [[nodiscard]] std::optional<QString> setEnabled(bool enabled) override;

private:
    bool m_isEnabled = false;
};

class NullSoundPlayer final : public SoundPlayer
{
public:
    void play(const QString &eventId) override;
};

// No desktop screenshot service: captures use a region tool instead.
class NullScreenshotService final : public ScreenshotService
{
public:
    [[nodiscard]] bool isAvailable() const override;
    [[nodiscard]] std::optional<bool> storedPermission() const override;
    QCoro::Task<Screenshot> takeInteractive() override;
};

// A tray that is always there (X11, where Qt finds the tray on its own) or never (no session).
class FixedTrayHost final : public TrayHost
{
public:
    explicit FixedTrayHost(bool isAvailable) : m_isAvailable(isAvailable) {}
    [[nodiscard]] bool isAvailable() const override { return m_isAvailable; }

private:
    bool m_isAvailable;
};

// No package service: packages are installed with the distribution's own tools.
class NullPackageInstaller final : public PackageInstaller
{
public:
    [[nodiscard]] bool isAvailable() const override;
    QCoro::Task<PackageInstall>
    install(QStringList packageNames,
            std::function<void(const PackageInstallProgress &)> onProgress) override;
};

[[nodiscard]] std::unique_ptr<Platform> createNullPlatform();

} // namespace KeloPlatform
