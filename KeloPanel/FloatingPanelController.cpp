// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPanel/FloatingPanelController.h"

#include "KeloPanel/PanelPlacement.h"
#include "KeloPlatform/WindowSystem.h"
#include "KeloTheme/GlassSurface.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QWindow>

FloatingPanelController::FloatingPanelController(QSize contentSize,
                                                 std::optional<qreal> cornerRadius,
                                                 QWidget *content,
                                                 KeloPlatform::WindowSystem &windows)
    : m_windows(&windows), m_panel(std::make_unique<FloatingPanel>()), m_content(content),
      m_contentSize(contentSize), m_cornerRadius(cornerRadius)
{
    // The panel lives and dies with this controller, so its callbacks may hold it plainly.
    m_panel->keyHandler = [this](QKeyEvent *event) { return keyHandler && keyHandler(event); };
    m_panel->onResignKey = [this] {
        if (hidesOnResignKey) {
            hide();
        }
    };
    updateSurface();
}

FloatingPanelController::~FloatingPanelController() = default;

void FloatingPanelController::updateSurface()
{
    const bool isCompositing = m_windows->isCompositing();
    const qreal radius = m_cornerRadius.value_or(GlassSurface::panelCornerRadius(isCompositing));
    m_panel->setSurface(m_content, m_contentSize, radius, isCompositing);
}

void FloatingPanelController::show(const SelectedRegion &selection)
{
    capturePreviousApp();
    if (onWillShow) {
        onWillShow();
    }
    if (!m_panel->isVisible()) {
        updateSurface();
    }
    const QSizeF size(m_panel->size());
    const ScreenLayout layout = ScreenLayout::current();
    if (!selection.isEstimate) {
        present(PanelPlacement::nearSelection(selection.rect, size, layout));
        return;
    }
    std::optional<QPointF> origin = PanelPlacement::nearEstimate(selection.rect, size, layout);
    if (!origin) {
        origin = PanelPlacement::fixedPlace(QPointF(QCursor::pos()), size, layout);
    }
    present(origin);
}

void FloatingPanelController::show()
{
    capturePreviousApp();
    if (onWillShow) {
        onWillShow();
    }
    if (!m_panel->isVisible()) {
        updateSurface();
    }
    present(PanelPlacement::fixedPlace(QPointF(QCursor::pos()), QSizeF(m_panel->size()),
                                       ScreenLayout::current()));
}

void FloatingPanelController::present(const std::optional<QPointF> &origin)
{
    m_isAside = false;
    if (origin) {
        m_panel->move(origin->toPoint());
    }
    m_panel->show();
    // Only the card takes clicks: the translucent margin around it (its shadow) lets them
    // through to what lies below, a desktop dialog among others.
    const int margin = GlassSurface::floatingShadowMargin(m_windows->isCompositing());
    const qreal scale = m_panel->devicePixelRatioF();
    m_windows->setInputRegion(
        uint32_t(m_panel->winId()),
        QRectF(QPointF(margin, margin) * scale,
               QSizeF(m_panel->size() - QSize(2 * margin, 2 * margin)) * scale)
            .toAlignedRect());
    m_panel->raise();
    m_panel->activateWindow();
    // Window managers refuse the keyboard to windows that ask for it on their own after the user
    // worked elsewhere; the panel only ever appears because the user asked for it, so it asks
    // the way a taskbar would.
    m_windows->activate({uint32_t(m_panel->winId()), QCoreApplication::applicationPid()});
}

void FloatingPanelController::hide()
{
    if (m_isAside) {
        m_isAside = false;
        if (onDidHide) {
            onDidHide();
        }
        return;
    }
    if (!m_panel->isVisible()) {
        return;
    }
    // A panel that had the keyboard hands it back to the application the user came from, as if
    // it had never taken it; one that lost it already leaves it where the user put it.
    const bool hadKeyboard = m_panel->isActiveWindow();
    m_panel->hide();
    if (hadKeyboard && m_previousApp) {
        m_windows->activate(*m_previousApp);
    }
    if (onDidHide) {
        onDidHide();
    }
}

void FloatingPanelController::stepAside()
{
    if (!m_panel->isVisible()) {
        return;
    }
    m_isAside = true;
    m_panel->hide();
}

void FloatingPanelController::comeBack()
{
    if (m_isAside) {
        present(QPointF(m_panel->pos()));
    }
}

bool FloatingPanelController::isVisible() const
{
    return m_isAside || m_panel->isVisible();
}

bool FloatingPanelController::isComposing() const
{
    return m_panel->isComposing();
}

void FloatingPanelController::capturePreviousApp()
{
    m_previousApp = m_windows->frontmostApplication();
    if (!m_previousApp) {
        return;
    }
    if (m_previousApp->processId == QCoreApplication::applicationPid()) {
        m_previousApp.reset();
        return;
    }
    // Our own windows do not always carry our process id.
    for (const QWindow *window : QGuiApplication::allWindows()) {
        if (window->handle() && window->winId() == m_previousApp->windowId) {
            m_previousApp.reset();
            return;
        }
    }
}
