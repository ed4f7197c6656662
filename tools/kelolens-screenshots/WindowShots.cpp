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
#include "KeloMenuBar/StatusItemController.h"
#include "KeloOnboarding/OnboardingWindowController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/Platform.h"
#include "KeloTheme/Symbols.h"
#include "Shots.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>

namespace {

class FixedPermission final : public PermissionChecker
{
public:
    explicit FixedPermission(bool isGranted, bool isAsked = false)
        : m_isGranted(isGranted), m_isAsked(isAsked)
    {
    }
    bool isScreenRecordingGranted() const override { return m_isGranted; }
    ScreenAccess screenAccess() const override
    {
        if (m_isAsked) {
            return ScreenAccess::askedAtCapture;
        }
        return m_isGranted ? ScreenAccess::notNeeded : ScreenAccess::refused;
    }
    bool canRequestScreenRecording() const override { return !m_isGranted; }

private:
    bool m_isGranted;
    bool m_isAsked;
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
    services.isX11 = platform.backend == u"x11";
    services.loadSupportedLanguages = [] {
        return QStringList{QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("fr"),
                           QStringLiteral("el")};
    };
    services.copyText = [](const QString &) { return true; };
    SettingsRouter router;
    SettingsWindowController controller(router, services);

    bool isSaved = true;
    for (const SettingsPage page : SettingsPages::all()) {
        controller.show(page);
        settle(std::chrono::milliseconds(800));
        isSaved &= save(
            {controller.window()},
            folder.filePath(
                QStringLiteral("settings-%1-%2.png").arg(SettingsPages::rawValue(page), suffix)));
    }
    // Install on the missing language, where packages cannot be installed from here.
    controller.show(SettingsPage::recognition);
    settle(std::chrono::milliseconds(300));
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
    // GNOME with nothing stored yet: asked at each capture, and the desktop can be asked now.
    static FixedPermission askedAtCapture(true, true);
    const ScreenAccessRequest askable{[] { return true; }, [] {}};
    const struct
    {
        int index;
        PermissionChecker *permission;
        QString name;
        QString installCommand;
        ScreenAccessRequest request;
    } steps[] = {
        {0, &denied, QStringLiteral("welcome"), {}, {}},
        {0,
         &denied,
         QStringLiteral("welcome-no-tool"),
         QStringLiteral("sudo apt install maim"),
         {}},
        {1, &denied, QStringLiteral("screen-recording"), {}, {}},
        {1, &askedAtCapture, QStringLiteral("screen-recording-allow"), {}, askable},
        {1, &granted, QStringLiteral("screen-recording-granted"), {}, {}},
        {2, &granted, QStringLiteral("try-it"), {}, {}},
    };
    OnboardingWindowController controller(QStringLiteral("Welcome to KeloLens"), QSize(500, 400),
                                          [] {});
    for (const auto &step : steps) {
        controller.show(makeOnboardingSteps(
                            QStringLiteral("Ctrl+Shift+2"), *step.permission, [] {},
                            AppInfo::fromBuild().website, true, step.installCommand, step.request),
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

bool saveTrayIcon(const QDir &folder, const QString &name)
{
    StatusItemController tray([](const QColor &color) { return trayIcon(color); },
                              QStringLiteral("KeloLens"), [](QMenu &) {});
    // The icon is placed at the origin first, and then moves into the tray.
    QDeadlineTimer deadline(std::chrono::seconds(5));
    while (tray.trayIcon().geometry().topLeft().isNull() && !deadline.hasExpired()) {
        settle(std::chrono::milliseconds(100));
    }
    settle();
    const QRect place = tray.trayIcon().geometry();
    if (!place.isValid() || place.topLeft().isNull()) {
        std::fprintf(stderr, "KeloLens: no tray took the icon\n");
        return false;
    }
    tray.followPanelLook();
    settle();
    // The icon with some of the panel around it, enlarged so that the pixels can be seen.
    const QRect area = place.adjusted(-40, -4, 4, 4) & QGuiApplication::primaryScreen()->geometry();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                      area.width(), area.height());
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    if (shot.isNull() ||
        !shot.scaled(shot.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(path)) {
        std::fprintf(stderr, "KeloLens: could not save %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}
