// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/ScreenReader.h"

#include <QRegion>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class SelectionState;

// One monitor's window of the selection: covers the monitor with the still picture of what it
// showed, dims what lies outside the selection, and draws the selection's outline, its size in
// pixels and, before anything is selected, a crosshair at the pointer. Mouse and key events go to
// the owner, which changes the shared state and repaints every monitor's window.
class SelectionOverlay final : public QWidget
{
    Q_OBJECT

public:
    // The title the windows carry, for window lists and tests.
    static constexpr auto windowTitle = "KeloLens selection";

    // The state and the functions must outlive the window.
    SelectionOverlay(KeloPlatform::MonitorImage monitor, const SelectionState &state,
                     std::function<QString()> sizeText);

    // Covers the monitor, above every other window.
    void showOnMonitor();
    // Lets go of the picture once the window is no longer needed.
    void dropPicture();
    // Repaints what the state's last change touched: the selection, its label, the crosshair.
    void refresh();

    [[nodiscard]] const QRect &monitorGeometry() const { return m_monitor.geometry; }

    std::function<void(QMouseEvent *event)> onMouse;
    std::function<void(QKeyEvent *event)> onKey;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Where the label, the crosshair and the hint go, in the window's coordinates; empty when
    // they are not shown on this monitor.
    [[nodiscard]] QRectF labelBox() const;
    [[nodiscard]] QRectF hintBox() const;
    [[nodiscard]] std::optional<QPointF> crosshair() const;
    // Everything drawn over the dimmed picture.
    [[nodiscard]] QRegion decorations() const;

    KeloPlatform::MonitorImage m_monitor;
    const SelectionState &m_state;
    std::function<QString()> m_sizeText;
    QRegion m_decorated;
};
