// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Selection/SelectionOverlay.h"

#include "KeloLens/Selection/SelectionState.h"
#include "KeloTheme/ThemeFonts.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace {

// Dark enough to set the selection apart, light enough to find the text around it.
const QColor dimColor(0, 0, 0, 110);
const QColor outlineColor(255, 255, 255, 235);
// Keeps the outline visible on white.
const QColor outlineShadow(0, 0, 0, 90);
const QColor crosshairColor(255, 255, 255, 150);
const QColor labelBackground(20, 20, 20, 215);
const QColor labelText(255, 255, 255);
constexpr double labelGap = 6;
constexpr double labelPadding = 6;
constexpr double hintTop = 24;

QScreen *screenNamed(const QString &name)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->name() == name) {
            return screen;
        }
    }
    return nullptr;
}

bool isOnX11()
{
    return QGuiApplication::platformName() == u"xcb";
}

// Outside the window manager's hands the picture is above everything and exactly where its
// monitor is. Under XWayland, though, sway gives such a window no keyboard: there one monitor's
// picture is an ordinary full-screen window, which it does give the keyboard (with several, sway
// would put them all on the focused monitor).
bool bypassesWindowManager()
{
    return isOnX11() && (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         QGuiApplication::screens().size() > 1);
}

} // namespace

SelectionOverlay::SelectionOverlay(KeloPlatform::MonitorImage monitor, const SelectionState &state,
                                   std::function<QString()> sizeText)
    : m_monitor(std::move(monitor)), m_state(state), m_sizeText(std::move(sizeText))
{
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::NoDropShadowWindowHint;
    // Above panels and docks, and out of the window manager's hands: it is the screen itself.
    if (bypassesWindowManager()) {
        flags |= Qt::BypassWindowManagerHint;
    }
    setWindowFlags(flags);
    setWindowTitle(QString::fromLatin1(windowTitle));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void SelectionOverlay::showOnMonitor()
{
    if (QScreen *screen = screenNamed(m_monitor.name)) {
        setScreen(screen);
    }
    setGeometry(m_monitor.geometry);
    if (bypassesWindowManager()) {
        show();
    } else {
        showFullScreen();
    }
    raise();
    activateWindow();
}

void SelectionOverlay::dropPicture()
{
    m_monitor.image = {};
}

namespace {

const QString &hintText()
{
    static const QString text =
        QStringLiteral("Drag over the text or code. Return takes the selection, Esc cancels.");
    return text;
}

} // namespace

QRectF SelectionOverlay::labelBox() const
{
    const std::optional<QRectF> shown = m_state.shownRect();
    const QRectF monitor(m_monitor.geometry);
    // Beside the corner the selection ends at, on the monitor holding that corner.
    if (!shown || !monitor.contains(QPointF(shown->right() - 0.5, shown->bottom() - 0.5)) ||
        !m_sizeText) {
        return {};
    }
    const QFontMetricsF metrics(themeFont(TextStyle::caption));
    const QSizeF size(metrics.horizontalAdvance(m_sizeText()) + 2 * labelPadding,
                      metrics.height() + labelPadding);
    const QRectF local = shown->translated(-monitor.topLeft());
    QPointF at(local.right() - size.width(), local.bottom() + labelGap);
    if (at.y() + size.height() > monitor.height()) {
        at.setY(local.bottom() - labelGap - size.height());
    }
    at.setX(std::clamp(at.x(), 0.0, std::max(0.0, monitor.width() - size.width())));
    at.setY(std::clamp(at.y(), 0.0, std::max(0.0, monitor.height() - size.height())));
    return {at, size};
}

QRectF SelectionOverlay::hintBox() const
{
    if (m_state.hasStarted() || !QRectF(m_monitor.geometry).contains(m_state.pointer())) {
        return {};
    }
    const QFontMetricsF metrics(themeFont(TextStyle::body));
    const QSizeF size(metrics.horizontalAdvance(hintText()) + 4 * labelPadding,
                      metrics.height() + 2 * labelPadding);
    return {QPointF((width() - size.width()) / 2, hintTop), size};
}

std::optional<QPointF> SelectionOverlay::crosshair() const
{
    if (m_state.shownRect() || !QRectF(m_monitor.geometry).contains(m_state.pointer())) {
        return std::nullopt;
    }
    return m_state.pointer() - QPointF(m_monitor.geometry.topLeft());
}

QRegion SelectionOverlay::decorations() const
{
    QRegion region;
    if (const std::optional<QRectF> shown = m_state.shownRect()) {
        region += shown->translated(-QPointF(m_monitor.geometry.topLeft()))
                      .toAlignedRect()
                      .adjusted(-3, -3, 3, 3);
    }
    if (const std::optional<QPointF> at = crosshair()) {
        region += QRect(0, int(at->y()) - 1, width(), 3);
        region += QRect(int(at->x()) - 1, 0, 3, height());
    }
    region += labelBox().toAlignedRect().adjusted(-1, -1, 1, 1);
    region += hintBox().toAlignedRect().adjusted(-1, -1, 1, 1);
    return region;
}

void SelectionOverlay::refresh()
{
    const QRegion now = decorations();
    update(now + m_decorated);
    m_decorated = now;
}

void SelectionOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF area(rect());
    if (m_monitor.image.isNull()) {
        painter.fillRect(area, Qt::black);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(area, m_monitor.image, QRectF(m_monitor.image.rect()));
    }
    const std::optional<QRectF> shown = m_state.shownRect();
    const QRectF local =
        shown ? shown->translated(-QPointF(m_monitor.geometry.topLeft())) : QRectF();

    QPainterPath dimmed;
    dimmed.setFillRule(Qt::OddEvenFill);
    dimmed.addRect(area);
    if (shown) {
        dimmed.addRect(local);
    }
    painter.fillPath(dimmed, dimColor);

    if (shown) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(outlineShadow, 1));
        painter.drawRect(local.adjusted(-1.5, -1.5, 1.5, 1.5));
        painter.setPen(QPen(outlineColor, 1));
        painter.drawRect(local.adjusted(-0.5, -0.5, 0.5, 0.5));
    }
    if (const std::optional<QPointF> at = crosshair()) {
        painter.setPen(QPen(crosshairColor, 1));
        painter.drawLine(QPointF(0, at->y() + 0.5), QPointF(area.width(), at->y() + 0.5));
        painter.drawLine(QPointF(at->x() + 0.5, 0), QPointF(at->x() + 0.5, area.height()));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const auto drawPill = [&](const QRectF &box, const QString &text, TextStyle style) {
        if (box.isEmpty()) {
            return;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(labelBackground);
        painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
        painter.setPen(labelText);
        painter.setFont(themeFont(style));
        painter.drawText(box, Qt::AlignCenter, text);
    };
    drawPill(labelBox(), m_sizeText ? m_sizeText() : QString(), TextStyle::caption);
    drawPill(hintBox(), hintText(), TextStyle::body);
}

void SelectionOverlay::mousePressEvent(QMouseEvent *event)
{
    if (onMouse) {
        onMouse(event);
    }
}

void SelectionOverlay::mouseMoveEvent(QMouseEvent *event)
{
    if (onMouse) {
        onMouse(event);
    }
}

void SelectionOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    if (onMouse) {
        onMouse(event);
    }
}

void SelectionOverlay::keyPressEvent(QKeyEvent *event)
{
    if (onKey) {
        onKey(event);
    }
}
