// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/SelectedRegion.h"
#include "KeloPanel/FloatingPanel.h"
#include "KeloPlatform/RunningApplication.h"

#include <QSize>

#include <functional>
#include <memory>
#include <optional>

class QKeyEvent;
class QWidget;

namespace KeloPlatform {
class WindowSystem;
}

// Owns one floating panel around a content widget: shows it next to a selection or at its fixed
// place, remembers which application was in front before, hands key presses to its owner and
// hides it when it loses the focus. The panel is created once and only shown and hidden. Main
// thread only; the window system must outlive it.
class FloatingPanelController
{
public:
    // `contentSize` is the content's size; the panel adds the surface's shadow margin around it.
    // Without a corner radius the theme's panel radius is used.
    FloatingPanelController(QSize contentSize, std::optional<qreal> cornerRadius, QWidget *content,
                            KeloPlatform::WindowSystem &windows);
    ~FloatingPanelController();
    FloatingPanelController(const FloatingPanelController &) = delete;
    FloatingPanelController &operator=(const FloatingPanelController &) = delete;

    // Shows the panel next to `selection` (global coordinates) and gives it the keyboard. Next
    // to an estimated selection only where it cannot cover the real one; else at its fixed place.
    void show(const SelectedRegion &selection);
    // Shows the panel at its fixed place on the screen under the pointer.
    void show();
    // Hides a visible panel and calls onDidHide; does nothing when it is hidden already. When the
    // panel had the keyboard, the previous application gets it back.
    void hide();
    // Takes the panel off the screen while a desktop dialog it asked for is open, which it would
    // otherwise cover, staying above every window: the panel stays open (isVisible(), no
    // onDidHide) and leaves the keyboard to the dialog.
    void stepAside();
    // Brings a panel that stepped aside back to its place, with the keyboard.
    void comeBack();
    // Shown, or only stepped aside.
    [[nodiscard]] bool isVisible() const;
    // Whether an input method is composing text in the panel.
    [[nodiscard]] bool isComposing() const;

    // Records the application in front, unless that is this application itself.
    void capturePreviousApp();
    // The application that was in front when the panel was last shown.
    [[nodiscard]] std::optional<KeloPlatform::RunningApplication> previousApp() const
    {
        return m_previousApp;
    }

    [[nodiscard]] FloatingPanel &panel() { return *m_panel; }

    // Whether losing the focus hides the panel; owners turn it off while a popover of theirs is
    // open or while they wait for the user elsewhere.
    bool hidesOnResignKey = true;
    // Gets the panel's key presses first; true consumes them.
    std::function<bool(QKeyEvent *)> keyHandler;
    // Called just before every show, and after every hide.
    std::function<void()> onWillShow;
    std::function<void()> onDidHide;

private:
    // Matches the surface to whether a compositor runs now.
    void updateSurface();
    void present(const std::optional<QPointF> &origin);

    KeloPlatform::WindowSystem *m_windows;
    std::unique_ptr<FloatingPanel> m_panel;
    QWidget *m_content;
    QSize m_contentSize;
    std::optional<qreal> m_cornerRadius;
    std::optional<KeloPlatform::RunningApplication> m_previousApp;
    bool m_isAside = false;
};
