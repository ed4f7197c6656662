// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QTimer;
class CaptureDemo;

// The first onboarding page: a looping demonstration of a capture over three lines of sample
// text, the welcome, and the capture shortcut; or, where no screenshot tool is installed, the
// command that installs one, ready to copy.
class WelcomeStep final : public QWidget
{
    Q_OBJECT

public:
    WelcomeStep(const QString &hotKey, const QString &website, const QString &installCommand = {},
                QWidget *parent = nullptr);

    // The demonstration's phase, 0 to 3: a small marker, the marker grown over the text,
    // "Copied" shown, the marker faded out.
    [[nodiscard]] int phase() const { return m_phase; }
    [[nodiscard]] QTimer *phaseTimer() const { return m_timer; }
    // What the timer does every 1.2 seconds.
    void nextPhase();

private:
    int m_phase = 0;
    CaptureDemo *m_demo;
    QTimer *m_timer;
};
