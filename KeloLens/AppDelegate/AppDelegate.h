// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloHotkey/HotKeyCombo.h"
#include "KeloHotkey/KeyboardLayout.h"
#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Capture/ScreenAccessRequest.h"
#include "KeloLens/Capture/ScreenCapturer.h"
#include "KeloLens/Recognition/Recognizing.h"
#include "KeloLens/SettingsWindow/SettingsPage.h"
#include "KeloPlatform/Platform.h"
#include "KeloUpdates/Updater.h"

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class Accessibility;
class CaptureFlow;
class HotKey;
class HotKeyCenter;
class LanguagePackInstaller;
class OnboardingWindowController;
class OverlaySelector;
class PasteService;
class PermissionChecker;
class Preferences;
class QMenu;
class QSettings;
class Recognizer;
class Recognizing;
class ResultPanelController;
class ResultViewModel;
class ScreenCapturer;
class SettingsRouter;
class SettingsWindowController;
class SingleInstance;
class StatusItemController;
class ToastController;
class Updater;

namespace KeloPlatform {
struct Platform;
class ExitHandler;
class TerminationSignals;
} // namespace KeloPlatform

// Builds every long-lived object once, wires the capture flow's outputs to the clipboard, the
// results panel, toasts and the sound, keeps the global shortcut registered as the settings say,
// and opens the settings and onboarding windows on request. One per process, main thread only.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // Command-line arguments in, false when this process should end at once with exitCode():
    // another instance took the request, or the arguments asked only for help.
    bool launch(const QStringList &arguments);
    [[nodiscard]] int exitCode() const { return m_exitCode; }

    void startCapture(bool codesOnly);
    void showLastResult();
    void registerHotKey();
    void openSettings(std::optional<SettingsPage> page = std::nullopt);
    void showOnboarding(int startAt);
    void buildStatusMenu(QMenu &menu);
    // The user opened the application again while it runs.
    void reopen();

private:
    void finishLaunching();
    void createStatusItem();
    // The alert for a shortcut the session would not give us (taken, or refused by the desktop).
    void reportTakenHotKey(const HotKeyCombo &wanted);
    void handleRequest(const QByteArray &request);
    void shutDown();
    // The question the settings and onboarding put to the desktop about reading the screen.
    [[nodiscard]] ScreenAccessRequest screenAccessRequest();

    int m_exitCode = 0;
    std::unique_ptr<KeloPlatform::Platform> m_platform;
    std::unique_ptr<KeloPlatform::TerminationSignals> m_signals;
    std::unique_ptr<KeloPlatform::ExitHandler> m_exitHandler;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<KeyboardLayout> m_layout;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<PermissionChecker> m_permission;
    std::unique_ptr<Updater> m_updater;
    std::unique_ptr<ToastController> m_toast;
    std::unique_ptr<PasteService> m_paste;
    std::unique_ptr<Accessibility> m_accessibility;
    std::unique_ptr<HotKeyCenter> m_hotKeys;
    std::unique_ptr<ResultViewModel> m_model;
    std::unique_ptr<ResultPanelController> m_panel;
    // Before the capturer, which holds it until it goes.
    std::unique_ptr<OverlaySelector> m_selector;
    std::unique_ptr<ScreenCapturer> m_capturer;
    std::unique_ptr<Recognizing> m_recognizer;
    std::unique_ptr<LanguagePackInstaller> m_languagePacks;
    // Runs once captures have paused for a while.
    QTimer m_idleMemoryRelease;
    std::unique_ptr<CaptureFlow> m_flow;
    std::unique_ptr<StatusItemController> m_statusItem;
    std::unique_ptr<HotKey> m_hotKey;
    // A registration the desktop has not answered yet.
    std::unique_ptr<HotKey> m_pendingHotKey;
    // The desktop binds no shortcuts for applications, and the log has said how to do without.
    bool m_hasExplainedShortcuts = false;
    std::optional<HotKeyCombo> m_registeredCombo;
    std::unique_ptr<SettingsRouter> m_router;
    std::unique_ptr<SettingsWindowController> m_settingsWindow;
    std::unique_ptr<OnboardingWindowController> m_onboardingWindow;
};
