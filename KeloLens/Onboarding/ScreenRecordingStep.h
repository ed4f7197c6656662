// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/ScreenAccessRequest.h"

#include <QWidget>

class PermissionChecker;
class QLabel;
class QPushButton;
class QTimer;

// The onboarding page about reading the screen: whether this session lets KeloLens do it, asked
// again every second. Where the desktop can still be asked to allow it for good, a button asks;
// where the user refused it once, a button lets the desktop ask again (where it allows that).
class ScreenRecordingStep final : public QWidget
{
    Q_OBJECT

public:
    explicit ScreenRecordingStep(PermissionChecker &permission,
                                 ScreenAccessRequest screenAccessRequest = {},
                                 QWidget *parent = nullptr);

    [[nodiscard]] bool isGranted() const { return m_isGranted; }
    [[nodiscard]] QPushButton *askAgainButton() const { return m_askAgain; }
    [[nodiscard]] QWidget *grantedLabel() const { return m_granted; }
    [[nodiscard]] QTimer *refreshTimer() const { return m_timer; }

    // What the timer does each second.
    void refresh();

private:
    PermissionChecker &m_permission;
    ScreenAccessRequest m_screenAccessRequest;
    // The button asks the desktop rather than forgetting a refusal.
    bool m_isAllowOffered = false;
    bool m_isGranted = false;
    QLabel *m_symbol;
    QWidget *m_granted;
    QLabel *m_grantedText;
    QPushButton *m_askAgain;
    QLabel *m_hint;
    QTimer *m_timer;
};
