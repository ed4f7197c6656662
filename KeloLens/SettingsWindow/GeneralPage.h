// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QWidget>

class HotKeyRecorder;
class QComboBox;
class QLabel;
class QTimer;
class SettingsForm;
class SettingsSection;
class ToggleSwitch;
class PermissionStatus;

// The General settings page: the capture shortcut, login, sound, what follows a capture, the
// two permissions with their live state (asked again every second while the page is shown),
// and the About section. Every control writes its preference the moment it changes.
class GeneralPage final : public QWidget
{
    Q_OBJECT

public:
    explicit GeneralPage(const SettingsServices &services, QWidget *parent = nullptr);
    ~GeneralPage() override;

    [[nodiscard]] HotKeyRecorder *recorder() const { return m_recorder; }
    [[nodiscard]] ToggleSwitch *launchAtLoginSwitch() const { return m_launchAtLogin; }
    [[nodiscard]] ToggleSwitch *playSoundSwitch() const { return m_playSound; }
    [[nodiscard]] ToggleSwitch *showPanelSwitch() const { return m_showPanel; }
    [[nodiscard]] QComboBox *panelPositionPicker() const { return m_panelPosition; }
    [[nodiscard]] QComboBox *selectWithPicker() const { return m_selectWith; }
    [[nodiscard]] PermissionStatus *screenRecordingStatus() const { return m_screenRecording; }
    [[nodiscard]] PermissionStatus *accessibilityStatus() const { return m_accessibility; }
    // The line saying how to capture without a tray; absent unless the tray is missing.
    [[nodiscard]] QLabel *captureHint() const { return m_captureHint; }
    [[nodiscard]] QLabel *shortcutCommand() const { return m_shortcutCommand; }
    [[nodiscard]] QTimer *refreshTimer() const { return m_timer; }

    // What the timer does each second: asks both permissions again.
    void refreshPermissions();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void addCaptureHint(SettingsForm &form);
    void addSelectWith(SettingsSection &section);
    void updateCaptureHint();

    SettingsServices m_services;
    HotKeyRecorder *m_recorder = nullptr;
    ToggleSwitch *m_launchAtLogin = nullptr;
    ToggleSwitch *m_playSound = nullptr;
    ToggleSwitch *m_showPanel = nullptr;
    QComboBox *m_panelPosition = nullptr;
    QComboBox *m_selectWith = nullptr;
    // The desktop does not let KeloLens read the screen yet, but may once asked: the choice
    // opens when it does.
    bool m_isSelectWithWaitingForAccess = false;
    PermissionStatus *m_screenRecording = nullptr;
    PermissionStatus *m_accessibility = nullptr;
    QLabel *m_captureHint = nullptr;
    // The command to bind, where the session has no global shortcuts.
    QLabel *m_shortcutCommand = nullptr;
    QTimer *m_timer = nullptr;
};
