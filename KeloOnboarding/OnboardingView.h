// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloOnboarding/OnboardingStep.h"

#include <QList>
#include <QWidget>

#include <functional>

class QPushButton;
class QTimer;
class PageDots;

// The onboarding pages one at a time, with page dots and the buttons that move on: "Continue"
// (the step's title on the last page) and, while a step is not done, "Skip for now". Neither
// ever moves by itself; leaving the last step runs the finish callback. A one-second tick asks
// the shown step again whether it is done. Return presses the main button.
class OnboardingView final : public QWidget
{
    Q_OBJECT

public:
    // The start index is clamped into the steps (0 when there are none).
    OnboardingView(QList<OnboardingStep> steps, int startIndex, QString finishTitle,
                   std::function<void()> finish, QWidget *parent = nullptr);

    [[nodiscard]] static int clampedIndex(int index, qsizetype stepCount);

    [[nodiscard]] int index() const { return m_index; }
    [[nodiscard]] const QList<OnboardingStep> &steps() const { return m_steps; }
    // The shown step's body; absent when there are no steps.
    [[nodiscard]] QWidget *content() const { return m_content; }
    [[nodiscard]] QPushButton *mainButton() const { return m_mainButton; }
    [[nodiscard]] QPushButton *skipButton() const { return m_skipButton; }

    // What both buttons do: the next step, or the finish on the last one.
    void advance();
    // Whether the shown step holds the user up (its isComplete answers false).
    [[nodiscard]] bool isBlocked() const;

private:
    void showStep();
    void refresh();

    QList<OnboardingStep> m_steps;
    QString m_finishTitle;
    std::function<void()> m_finish;
    int m_index = 0;
    QWidget *m_contentArea;
    QWidget *m_content = nullptr;
    PageDots *m_dots;
    QPushButton *m_skipButton;
    QPushButton *m_mainButton;
    QTimer *m_tick;
};
