// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class QKeyEvent;

// A frameless, always-on-top tool window that takes the keyboard focus when shown. X11 has no
// panel that takes keys without activating, so the owner records the application in front
// before showing it (FloatingPanelController). Key presses reach `keyHandler` before any widget
// inside; what it does not consume goes on as usual. Main thread only.
class FloatingPanel final : public QWidget
{
    Q_OBJECT

public:
    FloatingPanel();
    ~FloatingPanel() override;

    // Gets every key press aimed at this window first; true consumes it.
    std::function<bool(QKeyEvent *)> keyHandler;
    // Called after the panel stopped being the active window while visible.
    std::function<void()> onResignKey;

    // Puts `content` on the theme's floating surface for the given look and fixes the window's
    // size, which it returns. A change of translucency recreates the native window, which only
    // happens while the panel is hidden.
    QSize setSurface(QWidget *content, QSize contentSize, qreal cornerRadius, bool isCompositing);

    // Whether an input method is composing text in a widget of this panel.
    [[nodiscard]] bool isComposing() const { return m_isComposing; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    bool m_isComposing = false;
    std::optional<bool> m_isTranslucent;
};
