// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowShots.h"

#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Onboarding/OnboardingSteps.h"
#include "KeloLens/Settings/LanguagePackInstaller.h"
#include "KeloLens/Settings/Preferences.h"
#include "KeloLens/SettingsWindow/LanguagePackRows.h"
#include "KeloLens/SettingsWindow/RecognitionPage.h"
#include "KeloLens/SettingsWindow/SettingsRouter.h"
#include "KeloLens/SettingsWindow/SettingsWindowController.h"
#include "KeloOnboarding/OnboardingWindowController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/Platform.h"
#include "Shots.h"

#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

namespace {

class FixedPermission final : public PermissionChecker
{
public:
    explicit FixedPermission(bool isGranted) : m_isGranted(isGranted) {}
    bool isScreenRecordingGranted() const override { return m_isGranted; }
    void requestScreenRecording() override {}
    void openScreenRecordingSettings() override {}

private:
    bool m_isGranted;
};

} // namespace

bool saveSettingsWindow(KeloPlatform::Platform &platform, const QDir &folder, const QString &suffix)
{
    QTemporaryDir home;
    QSettings settings(home.filePath(QStringLiteral("KeloLens.conf")), QSettings::IniFormat);
    Preferences prefs(&settings);
    // A preferred list with a language whose pack is missing; no package service, as in a
    // session without PackageKit, so that Install shows the command.
    prefs.setRecognitionLanguages(
        {QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("ru")});
    FixedPermission permission(true);
    Accessibility accessibility(*platform.syntheticKeys);
    LanguagePackInstaller packs(nullptr, home.path());
    SettingsServices services(prefs, KeyboardLayout(*platform.keymapSource));
    services.permission = &permission;
    services.accessibility = &accessibility;
    services.languagePacks = &packs;
    services.loadSupportedLanguages = [] {
        return QStringList{QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("fr"),
                           QStringLiteral("el")};
    };
    services.copyText = [](const QString &) { return true; };
    SettingsRouter router;
    SettingsWindowController controller(router, services);

    bool isSaved = true;
    for (const auto &[page, name] : {std::pair{SettingsPage::general, QStringLiteral("general")},
                                     {SettingsPage::recognition, QStringLiteral("recognition")}}) {
        controller.show(page);
        settle(std::chrono::milliseconds(800));
        isSaved &= save({controller.window()},
                        folder.filePath(QStringLiteral("settings-%1-%2.png").arg(name, suffix)));
    }
    // Install on the missing language, where packages cannot be installed from here.
    auto *page = controller.window()->findChild<RecognitionPage *>();
    if (page == nullptr || page->installButtons().isEmpty()) {
        return false;
    }
    page->installButtons().constFirst()->click();
    settle(std::chrono::milliseconds(300));
    isSaved &=
        save({controller.window()},
             folder.filePath(QStringLiteral("settings-recognition-install-%1.png").arg(suffix)));
    controller.window()->hide();
    return isSaved;
}

bool saveOnboardingSteps(KeloPlatform::Platform &platform, const QDir &folder,
                         const QString &suffix)
{
    Q_UNUSED(platform);
    bool isSaved = true;
    // The window's views poll the checker until they are deleted, later than this function ends.
    static FixedPermission denied(false);
    static FixedPermission granted(true);
    const struct
    {
        int index;
        PermissionChecker *permission;
        QString name;
    } steps[] = {
        {0, &denied, QStringLiteral("welcome")},
        {1, &denied, QStringLiteral("screen-recording")},
        {1, &granted, QStringLiteral("screen-recording-granted")},
        {2, &granted, QStringLiteral("try-it")},
    };
    OnboardingWindowController controller(QStringLiteral("Welcome to KeloLens"), QSize(500, 400),
                                          [] {});
    for (const auto &step : steps) {
        controller.show(
            makeOnboardingSteps(QStringLiteral("Ctrl+Shift+2"), *step.permission, [] {}),
            step.index, QStringLiteral("Start Using KeloLens"));
        // The welcome demonstration moves: show it with the selection drawn over the text.
        settle(std::chrono::milliseconds(step.index == 0 ? 1500 : 800));
        isSaved &=
            save({controller.window()},
                 folder.filePath(QStringLiteral("onboarding-%1-%2.png").arg(step.name, suffix)));
    }
    controller.window()->hide();
    return isSaved;
}
