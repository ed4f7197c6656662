// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPanel/FloatingPanel.h"

#include "KeloTheme/GlassSurface.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QWindow>

FloatingPanel::FloatingPanel()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("KeloLens"));
}

FloatingPanel::~FloatingPanel()
{
    qApp->removeEventFilter(this);
}

QSize FloatingPanel::setSurface(QWidget *content, QSize contentSize, qreal cornerRadius,
                                bool isCompositing)
{
    // The X server fixes a window's visual when it is created: an alpha channel comes only with
    // a new native window.
    if (m_isTranslucent && *m_isTranslucent != isCompositing &&
        testAttribute(Qt::WA_WState_Created)) {
        Q_ASSERT(!isVisible());
        destroy();
    }
    m_isTranslucent = isCompositing;
    return GlassSurface::floating(this, content, contentSize, cornerRadius, isCompositing);
}

bool FloatingPanel::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // Every key press for this window arrives at its native window first, before Qt hands
        // it to the focused widget: the one place to see it once and ahead of the widgets.
        if (watched == windowHandle() && windowHandle() != nullptr && keyHandler) {
            return keyHandler(static_cast<QKeyEvent *>(event));
        }
        break;
    case QEvent::InputMethod:
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->window() == this) {
            m_isComposing = !static_cast<QInputMethodEvent *>(event)->preeditString().isEmpty();
        }
        break;
    default:
        break;
    }
    return false;
}

void FloatingPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow() &&
        onResignKey) {
        onResignKey();
    }
}

void FloatingPanel::showEvent(QShowEvent *event)
{
    m_isComposing = false;
    // Input method events go straight to the focused widget, so only an application-wide filter
    // sees both them and the keys; it is there only while the panel is.
    qApp->installEventFilter(this);
    QWidget::showEvent(event);
}

void FloatingPanel::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    m_isComposing = false;
    QWidget::hideEvent(event);
}
