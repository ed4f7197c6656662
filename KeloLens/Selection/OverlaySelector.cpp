// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Selection/OverlaySelector.h"

#include "KeloLens/Capture/RegionCut.h"
#include "KeloLens/Selection/SelectionOverlay.h"
#include "KeloLens/Selection/SelectionState.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace {

// Debug lines (the windows are up, for tests and bug reports) only when asked for with
// QT_LOGGING_RULES="kelolens.selection.debug=true".
Q_LOGGING_CATEGORY(lcSelection, "kelolens.selection", QtInfoMsg)

// The keyboard may still be held a moment by whatever started the capture (a menu closing, the
// shortcut's own key grab on another server), so the grab is tried again for a while.
constexpr std::chrono::milliseconds grabRetryInterval{50};
constexpr int grabAttemptLimit = 40;

} // namespace

class OverlaySelector::Wait
{
public:
    explicit Wait(OverlaySelector &selector) : m_selector(&selector) {}
    [[nodiscard]] bool await_ready() const { return !m_selector->m_isSelecting; }
    void await_suspend(std::coroutine_handle<> handle) { m_selector->m_waiting = handle; }
    void await_resume() const {}

private:
    OverlaySelector *m_selector;
};

OverlaySelector::OverlaySelector(QObject *parent) : QObject(parent)
{
    m_grabRetry.setInterval(grabRetryInterval);
    connect(&m_grabRetry, &QTimer::timeout, this, &OverlaySelector::grabKeyboard);
}

OverlaySelector::~OverlaySelector()
{
    cancel();
    // A resumption queued by the windows' events would no longer arrive.
    resumeWaiting();
}

QList<SelectionOverlay *> OverlaySelector::overlays() const
{
    QList<SelectionOverlay *> windows;
    for (const auto &overlay : m_overlays) {
        windows.append(overlay.get());
    }
    return windows;
}

QCoro::Task<std::optional<ExactRect>>
OverlaySelector::select(QList<KeloPlatform::MonitorImage> monitors)
{
    if (m_isSelecting || monitors.isEmpty()) {
        co_return std::nullopt;
    }
    std::optional<ExactRect> result;
    m_result = &result;
    m_isSelecting = true;
    m_monitors = std::move(monitors);
    QList<QRectF> geometries;
    for (const KeloPlatform::MonitorImage &monitor : std::as_const(m_monitors)) {
        geometries.append(QRectF(monitor.geometry));
    }
    m_state = std::make_unique<SelectionState>(geometries, QPointF(QCursor::pos()));
    m_overlays.clear();
    for (const KeloPlatform::MonitorImage &monitor : std::as_const(m_monitors)) {
        auto overlay =
            std::make_unique<SelectionOverlay>(monitor, *m_state, [this] { return sizeText(); });
        overlay->onMouse = [this](QMouseEvent *event) { onMouse(event); };
        overlay->onKey = [this](QKeyEvent *event) { onKey(event); };
        m_overlays.push_back(std::move(overlay));
    }
    for (const auto &overlay : m_overlays) {
        overlay->showOnMonitor();
    }
    // The picture no longer matches a screen that came, went or changed.
    const auto layoutChanged = [this] { finish(std::nullopt, false); };
    m_screenWatch << connect(qGuiApp, &QGuiApplication::screenAdded, this, layoutChanged)
                  << connect(qGuiApp, &QGuiApplication::screenRemoved, this, layoutChanged);
    for (const QScreen *screen : QGuiApplication::screens()) {
        m_screenWatch << connect(screen, &QScreen::geometryChanged, this, layoutChanged);
    }
    m_grabAttempts = 0;
    grabKeyboard();
    qCDebug(lcSelection).noquote()
        << QStringLiteral("KeloLens: selecting on %1 monitor(s)").arg(m_overlays.size());

    co_await Wait(*this);
    co_return result;
}

void OverlaySelector::grabKeyboard()
{
    if (!m_isSelecting || m_overlays.empty()) {
        m_grabRetry.stop();
        return;
    }
    // Wayland has no grabs: the compositor gives a full-screen window the keyboard by itself.
    if (QGuiApplication::platformName() != u"xcb") {
        m_grabRetry.stop();
        return;
    }
    SelectionOverlay &overlay = *m_overlays.front();
    QWindow *window = overlay.windowHandle();
    if (window != nullptr && window->setKeyboardGrabEnabled(true)) {
        m_grabRetry.stop();
        return;
    }
    if (++m_grabAttempts >= grabAttemptLimit) {
        m_grabRetry.stop();
        qCWarning(lcSelection).noquote()
            << QStringLiteral("KeloLens: the keyboard stayed taken; the selection answers the "
                              "mouse only");
        return;
    }
    m_grabRetry.start();
}

void OverlaySelector::onMouse(QMouseEvent *event)
{
    // Global positions, not the window's: a drag that began on one monitor goes on reaching its
    // window while the pointer crosses to another.
    const QPointF at = event->globalPosition();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (event->button() == Qt::RightButton) {
            finish(std::nullopt, false);
            return;
        }
        if (event->button() == Qt::LeftButton) {
            m_state->press(at);
        }
        break;
    case QEvent::MouseMove:
        if (m_state->isDragging()) {
            m_state->drag(at);
        } else {
            m_state->hover(at);
        }
        break;
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton &&
            m_state->release(at) == SelectionState::Outcome::accepted) {
            finish(m_state->selection(), false);
            return;
        }
        break;
    default:
        return;
    }
    refresh();
}

void OverlaySelector::onKey(QKeyEvent *event)
{
    const QPointF pointer = m_state->pointer();
    switch (m_state->key(event->key(), event->modifiers())) {
    case SelectionState::Outcome::cancelled:
        finish(std::nullopt, false);
        return;
    case SelectionState::Outcome::accepted:
        finish(m_state->selection(), false);
        return;
    case SelectionState::Outcome::none:
        break;
    }
    // The arrows move the pointer itself until there is a selection (Wayland lets no application
    // move it: there only the crosshair moves).
    if (m_state->pointer() != pointer && QGuiApplication::platformName() == u"xcb") {
        QCursor::setPos(m_state->pointer().toPoint());
    }
    refresh();
}

void OverlaySelector::refresh()
{
    for (const auto &overlay : m_overlays) {
        overlay->refresh();
    }
}

QString OverlaySelector::sizeText() const
{
    const std::optional<QRectF> shown = m_state ? m_state->shownRect() : std::nullopt;
    if (!shown) {
        return {};
    }
    const QSize pixels = RegionCut::pixelSize(m_monitors, ExactRect::fromQRectF(*shown));
    return QStringLiteral("%1 × %2").arg(pixels.width()).arg(pixels.height());
}

void OverlaySelector::cancel()
{
    finish(std::nullopt, true);
}

void OverlaySelector::finish(std::optional<ExactRect> result, bool resumeNow)
{
    if (!m_isSelecting) {
        return;
    }
    m_isSelecting = false;
    if (m_result != nullptr) {
        *m_result = result;
        m_result = nullptr;
    }
    m_grabRetry.stop();
    for (const QMetaObject::Connection &connection : std::as_const(m_screenWatch)) {
        disconnect(connection);
    }
    m_screenWatch.clear();
    for (auto &overlay : m_overlays) {
        if (QWindow *window = overlay->windowHandle()) {
            window->setKeyboardGrabEnabled(false);
        }
        overlay->hide();
        overlay->dropPicture();
        if (!resumeNow) {
            // Still inside one of its events.
            overlay.release()->deleteLater();
        }
    }
    m_overlays.clear();
    m_monitors.clear();
    if (resumeNow) {
        resumeWaiting();
    } else {
        QMetaObject::invokeMethod(this, &OverlaySelector::resumeWaiting, Qt::QueuedConnection);
    }
}

void OverlaySelector::resumeWaiting()
{
    if (const std::coroutine_handle<> waiting = std::exchange(m_waiting, {})) {
        waiting.resume();
    }
}
