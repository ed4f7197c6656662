// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ToastController.h"

#include "KeloLens/Results/ToastView.h"
#include "KeloPanel/PanelPlacement.h"
#include "KeloPlatform/WindowSystem.h"
#include "KeloTheme/GlassSurface.h"

#include <QCursor>
#include <QWidget>

namespace {

constexpr qreal toastCornerRadius = 12;

} // namespace

ToastController::ToastController(KeloPlatform::WindowSystem &windows, QObject *parent)
    : QObject(parent), m_windows(&windows)
{
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_hideTimer, &QTimer::timeout, this, &ToastController::hide);
}

ToastController::~ToastController()
{
    delete m_window;
}

void ToastController::show(const QString &message, std::optional<QString> actionTitle,
                           std::function<void()> action)
{
    hide();
    const bool hasAction = bool(action);

    // Out of the window manager's hands: never focused, and above every other window, fullscreen
    // ones included, as a status message should be.
    auto *window =
        new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                 Qt::BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setWindowTitle(QStringLiteral("KeloLens"));
    // Only a toast that is still on screen hides with its button: the action may have shown the
    // next one.
    QPointer<ToastController> self(this);
    QPointer<QWidget> owner(window);
    auto *view = new ToastView(message, actionTitle, [self, owner, action = std::move(action)] {
        if (action) {
            action();
        }
        if (self && owner && self->m_window == owner) {
            self->hide();
        }
    });
    const QSize size = view->sizeHint().expandedTo(minimumSize);
    const QSize windowSize =
        GlassSurface::floating(window, view, size, toastCornerRadius, m_windows->isCompositing());
    if (const auto origin = PanelPlacement::topCentre(QPointF(QCursor::pos()), QSizeF(windowSize),
                                                      ScreenLayout::current())) {
        window->move(origin->toPoint());
    }
    window->show();
    m_window = window;
    m_hideTimer.start(hasAction ? displayTimeWithAction : displayTime);
}

void ToastController::hide()
{
    m_hideTimer.stop();
    if (!m_window) {
        return;
    }
    // Later, not now: this may run inside a click on the toast's own button.
    m_window->hide();
    m_window->deleteLater();
    m_window = nullptr;
}

bool ToastController::isVisible() const
{
    return m_window && m_window->isVisible();
}

std::chrono::milliseconds ToastController::remainingDisplayTime() const
{
    return m_hideTimer.isActive() ? m_hideTimer.remainingTimeAsDuration()
                                  : std::chrono::milliseconds(0);
}
