// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloOnboarding/OnboardingStep.h"
#include "KeloOnboarding/OnboardingView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

// The onboarding window: titled and closable, of a fixed size, holding an OnboardingView. The
// window is made at the first show; a later show replaces its content. Onboarding ends once,
// whichever comes first: the last step's button or the window's close button; onFinish then
// runs, and may drop this controller. Main thread only.
class OnboardingWindowController final : public QObject
{
    Q_OBJECT

public:
    OnboardingWindowController(QString title, QSize size, std::function<void()> onFinish,
                               QObject *parent = nullptr);
    ~OnboardingWindowController() override;

    void show(const QList<OnboardingStep> &steps, int startIndex, const QString &finishTitle);

    // Absent before the first show and after the end.
    [[nodiscard]] QWidget *window() const { return m_window; }
    // The view shown now; absent when there is no window.
    [[nodiscard]] OnboardingView *view() const { return m_window ? m_view : nullptr; }
    [[nodiscard]] bool isFinished() const { return m_isFinished; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void end();

    QString m_title;
    QSize m_size;
    std::function<void()> m_onFinish;
    bool m_isFinished = false;
    QPointer<QWidget> m_window;
    QPointer<OnboardingView> m_view;
};
