// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/RegionSelector.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <coroutine>
#include <memory>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class SelectionOverlay;
class SelectionState;

// The selection on a still screen: one window on each monitor showing what it showed, one
// selection across them all. It ends when the user takes a selection or cancels (Escape, the
// right button), and also, as a cancel, when a monitor comes, goes or changes: the picture no
// longer matches the screen then. Main thread only.
class OverlaySelector final : public QObject, public RegionSelector
{
    Q_OBJECT

public:
    explicit OverlaySelector(QObject *parent = nullptr);
    // Cancels a selection under way.
    ~OverlaySelector() override;
    OverlaySelector(const OverlaySelector &) = delete;
    OverlaySelector &operator=(const OverlaySelector &) = delete;

    QCoro::Task<std::optional<ExactRect>>
    select(QList<KeloPlatform::MonitorImage> monitors) override;
    void cancel() override;

    [[nodiscard]] bool isSelecting() const { return m_isSelecting; }
    // The windows and the state of the selection under way, for the screenshots.
    [[nodiscard]] QList<SelectionOverlay *> overlays() const;
    [[nodiscard]] SelectionState *state() const { return m_state.get(); }
    // Repaints what changed on every window after the state was changed from outside.
    void refresh();

private:
    class Wait;

    void onMouse(QMouseEvent *event);
    void onKey(QKeyEvent *event);
    void grabKeyboard();
    // Ends the selection; the waiting capture resumes at once only when `resumeNow` (at exit, or
    // on an explicit cancel), else in a later turn of the event loop, out of the window's events.
    void finish(std::optional<ExactRect> result, bool resumeNow);
    void resumeWaiting();
    [[nodiscard]] QString sizeText() const;

    QList<KeloPlatform::MonitorImage> m_monitors;
    std::unique_ptr<SelectionState> m_state;
    std::vector<std::unique_ptr<SelectionOverlay>> m_overlays;
    QList<QMetaObject::Connection> m_screenWatch;
    QTimer m_grabRetry;
    int m_grabAttempts = 0;
    bool m_isSelecting = false;
    std::optional<ExactRect> *m_result = nullptr;
    std::coroutine_handle<> m_waiting;
};
