// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QString>

namespace KeloPlatform {
struct Platform;
}

// The settings window on each of its pages, saved as settings-<page>-<suffix>.png.
bool saveSettingsWindow(KeloPlatform::Platform &platform, const QDir &folder,
                        const QString &suffix);

// The onboarding window at each of its steps (the screen-recording step once without and once
// with the permission), saved as onboarding-<step>-<suffix>.png.
bool saveOnboardingSteps(KeloPlatform::Platform &platform, const QDir &folder,
                         const QString &suffix);

// The tray icon in the tray that runs on the display (scripts/screenshots.sh starts one on a dark
// and one on a light panel), enlarged, saved as <name>.png.
bool saveTrayIcon(const QDir &folder, const QString &name);
