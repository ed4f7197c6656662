// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Settings/Preferences.h"
#include "KeloLens/SettingsWindow/SettingsServices.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/null/NullServices.h"
#include "KeloUpdates/Updater.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

// Scripted stand-ins for the services the settings pages are handed.
class ScriptedPermission final : public PermissionChecker
{
public:
    [[nodiscard]] bool isScreenRecordingGranted() const override { return isGranted; }
    void requestScreenRecording() override {}
    void openScreenRecordingSettings() override { ++openCount; }

    bool isGranted = false;
    int openCount = 0;
};

class ScriptedKeys final : public KeloPlatform::SyntheticKeys
{
public:
    [[nodiscard]] bool isAvailable() const override { return isAvailableNow; }
    bool sendWithControl(uint32_t) override { return false; }

    bool isAvailableNow = false;
};

class CountingUpdater final : public Updater
{
public:
    explicit CountingUpdater(bool isAvailable) : m_isAvailable(isAvailable) {}
    [[nodiscard]] bool isAvailable() const override { return m_isAvailable; }
    void checkForUpdates() override { ++checkCount; }

    int checkCount = 0;

private:
    bool m_isAvailable;
};

// Preferences over a settings file of their own, and every service the pages can be given.
class SettingsFixture : public ::testing::Test
{
protected:
    SettingsFixture()
        : settings(dir.filePath(QStringLiteral("KeloLens.conf")), QSettings::IniFormat),
          prefs(&settings), accessibility(keys)
    {
    }

    // All services handed in; the supported languages are the given list.
    SettingsServices services(QStringList supported = {QStringLiteral("en-US")})
    {
        SettingsServices result{prefs, KeyboardLayout(keymap)};
        result.permission = &permission;
        result.accessibility = &accessibility;
        result.updater = &updater;
        result.loadSupportedLanguages = [supported] { return supported; };
        result.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        result.openUrl = [this](const QUrl &url) {
            opened << url;
            return true;
        };
        return result;
    }

    QTemporaryDir dir;
    QSettings settings;
    Preferences prefs;
    KeloPlatform::NullKeymapSource keymap;
    ScriptedPermission permission;
    ScriptedKeys keys;
    Accessibility accessibility;
    CountingUpdater updater{true};
    QList<QUrl> opened;
};
