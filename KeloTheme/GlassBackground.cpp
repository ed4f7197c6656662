// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/GlassBackground.h"

#include "KeloTheme/ThemeColors.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace {

// The shadow of a floating surface: black at 28 % opacity, blurred by a radius of 18 (a standard
// deviation of 9), 8 pixels down.
constexpr qreal shadowOpacity = 0.28;
constexpr qreal shadowSigma = 9;
constexpr qreal shadowOffset = 8;

// One pass of a box blur of radius r over rows of `width` values (or columns, with the strides
// swapped); values beyond the edges count as 0.
void boxBlurPass(std::vector<int> &values, int count, int length, int step, int lineStep, int r)
{
    std::vector<int> line(size_t(length), 0);
    const int window = 2 * r + 1;
    for (int lineIndex = 0; lineIndex < count; ++lineIndex) {
        const int base = lineIndex * lineStep;
        for (int i = 0; i < length; ++i) {
            line[size_t(i)] = values[size_t(base + i * step)];
        }
        int sum = 0;
        for (int i = 0; i <= std::min(r, length - 1); ++i) {
            sum += line[size_t(i)];
        }
        for (int i = 0; i < length; ++i) {
            values[size_t(base + i * step)] = sum / window;
            const int entering = i + r + 1;
            const int leaving = i - r;
            if (entering < length) {
                sum += line[size_t(entering)];
            }
            if (leaving >= 0) {
                sum -= line[size_t(leaving)];
            }
        }
    }
}

// Three box blurs come close to a Gaussian blur of standard deviation `sigma`.
void blurAlpha(QImage &image, qreal sigma)
{
    const int width = image.width();
    const int height = image.height();
    const int r = std::max(1, qRound(sigma));
    std::vector<int> alpha(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            alpha[size_t(y * width + x)] = qAlpha(row[x]);
        }
    }
    for (int pass = 0; pass < 3; ++pass) {
        boxBlurPass(alpha, height, width, 1, width, r);
        boxBlurPass(alpha, width, height, width, 1, r);
    }
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            row[x] = qRgba(0, 0, 0, alpha[size_t(y * width + x)]);
        }
    }
}

} // namespace

GlassBackground::GlassBackground(QWidget *parent) : QWidget(parent) {}

void GlassBackground::setLook(const Look &look)
{
    if (look == m_look) {
        return;
    }
    m_look = look;
    m_shadow = QImage();
    layoutContent();
    update();
}

void GlassBackground::setContent(QWidget *content)
{
    if (content == m_content) {
        return;
    }
    if (m_content) {
        m_content->deleteLater();
    }
    m_content = content;
    if (m_content) {
        m_content->setParent(this);
        layoutContent();
        m_content->show();
    }
}

QColor GlassBackground::fillColor(const QPalette &palette)
{
    // Halfway between the window and the base colour: lighter than a dialog in light palettes,
    // a touch deeper in dark ones, so the panel stands apart from windows behind it. Opaque:
    // text behind a see-through fill shows as a ghost between the lines.
    const QColor window = palette.color(QPalette::Window);
    const QColor base = palette.color(QPalette::Base);
    return QColor::fromRgbF((window.redF() + base.redF()) / 2,
                            (window.greenF() + base.greenF()) / 2,
                            (window.blueF() + base.blueF()) / 2);
}

QRectF GlassBackground::surfaceRect() const
{
    const qreal m = m_look.shadowMargin;
    return QRectF(rect()).adjusted(m, m, -m, -m);
}

void GlassBackground::layoutContent()
{
    if (m_content) {
        m_content->setGeometry(surfaceRect().toRect());
    }
}

const QImage &GlassBackground::shadow()
{
    const qreal scale = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * scale).toSize();
    if (m_shadow.size() == pixels && m_shadow.devicePixelRatio() == scale) {
        return m_shadow;
    }

    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const qreal r = m_look.cornerRadius;
    QPainterPath shape;
    shape.addRoundedRect(surfaceRect(), r, r);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.fillPath(shape.translated(0, shadowOffset),
                         QColor::fromRgbF(0, 0, 0, shadowOpacity));
    }
    blurAlpha(image, shadowSigma * scale);
    {
        // The surface is translucent: a shadow under it would darken it.
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillPath(shape, Qt::black);
    }
    image.setDevicePixelRatio(scale);
    m_shadow = image;
    return m_shadow;
}

void GlassBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_look.shadowMargin > 0) {
        painter.drawImage(QPointF(0, 0), shadow());
    }

    const qreal r = m_look.cornerRadius;
    const QRectF surface = surfaceRect();
    QPainterPath shape;
    shape.addRoundedRect(surface, r, r);
    painter.fillPath(shape, fillColor(palette()));
    if (m_look.hasBorder) {
        const bool isDark = ThemeColors::isDark(palette());
        painter.setPen(QPen(ThemeColors::primary(palette(), isDark ? 0.22 : 0.16), 1));
        painter.setBrush(Qt::NoBrush);
        const qreal inner = std::max<qreal>(0, r - 0.5);
        painter.drawRoundedRect(surface.adjusted(0.5, 0.5, -0.5, -0.5), inner, inner);
    }
}

void GlassBackground::resizeEvent(QResizeEvent *)
{
    layoutContent();
}

void GlassBackground::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange) {
        update();
    }
    QWidget::changeEvent(event);
}

void GlassBackground::mousePressEvent(QMouseEvent *event)
{
    // Frameless windows have no title bar to drag; their background stands in for it.
    QWindow *handle = window()->windowHandle();
    if (event->button() == Qt::LeftButton && handle && handle->startSystemMove()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}
