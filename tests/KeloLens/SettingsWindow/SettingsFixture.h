// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Settings/Preferences.h"
#include "KeloLens/SettingsWindow/SettingsServices.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/null/NullServices.h"
#include "support/fakes/CaptureFakes.h"
#include "support/fakes/PlatformFakes.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

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
    KeloTest::FakePermissionChecker permission{false};
    KeloTest::FakeSyntheticKeys keys{false};
    Accessibility accessibility;
    KeloTest::FakeUpdater updater;
    QList<QUrl> opened;
};
