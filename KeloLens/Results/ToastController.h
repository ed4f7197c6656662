// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;

namespace KeloPlatform {
class WindowSystem;
}

// Short messages in a small window at the top centre of the screen under the pointer, with an
// optional action button; the one way any part of KeloLens tells the user something in passing.
// At most one toast is on screen: each new one replaces the last. Toasts never take the keyboard
// focus. Main thread only; the window system must outlive it.
class ToastController final : public QObject
{
    Q_OBJECT

public:
    explicit ToastController(KeloPlatform::WindowSystem &windows, QObject *parent = nullptr);
    ~ToastController() override;

    // How long a toast stays: longer when it offers an action, to leave time to press it.
    static constexpr std::chrono::milliseconds displayTime{2500};
    static constexpr std::chrono::milliseconds displayTimeWithAction{5000};
    // The smallest toast, however short its message.
    static constexpr QSize minimumSize{200, 40};

    // Replaces any toast on screen with this one. Pressing the button runs `action` and then
    // hides the toast.
    void show(const QString &message, std::optional<QString> actionTitle = {},
              std::function<void()> action = {});
    // Hides the toast on screen, if any, and cancels its timer.
    void hide();
    [[nodiscard]] bool isVisible() const;
    // How long the toast on screen has left; 0 without one.
    [[nodiscard]] std::chrono::milliseconds remainingDisplayTime() const;
    // The window of the toast on screen, for tests and screenshots.
    [[nodiscard]] QWidget *window() const { return m_window; }

private:
    KeloPlatform::WindowSystem *m_windows;
    QPointer<QWidget> m_window;
    QTimer m_hideTimer;
};
