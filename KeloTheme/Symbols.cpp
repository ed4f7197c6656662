// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/Symbols.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

QString bundledPath(Symbol symbol)
{
    switch (symbol) {
    case Symbol::copy:
        return QStringLiteral(":/kelo/icons/symbols/copy.svg");
    case Symbol::checkmark:
        return QStringLiteral(":/kelo/icons/symbols/checkmark.svg");
    case Symbol::paste:
        return QStringLiteral(":/kelo/icons/symbols/paste.svg");
    case Symbol::allowPaste:
        return QStringLiteral(":/kelo/icons/symbols/hand.svg");
    case Symbol::more:
        return QStringLiteral(":/kelo/icons/symbols/ellipsis-circle.svg");
    case Symbol::reset:
        return QStringLiteral(":/kelo/icons/symbols/reset.svg");
    case Symbol::success:
        return QStringLiteral(":/kelo/icons/symbols/checkmark-circle-fill.svg");
    case Symbol::remove:
        return QStringLiteral(":/kelo/icons/symbols/minus-circle.svg");
    case Symbol::captureText:
        return QStringLiteral(":/kelo/icons/symbols/text-viewfinder.svg");
    }
    return {};
}

// Draws one of our SVG files at any size, its opaque parts in a single colour, so that the same
// file serves light and dark palettes. Disabled icons are drawn faded.
class TintedSvgEngine final : public QIconEngine
{
public:
    TintedSvgEngine(QString path, QColor tint, QString name = {})
        : m_path(std::move(path)), m_tint(tint), m_name(std::move(name))
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage image = render(rect.size() * scale, mode);
        image.setDevicePixelRatio(scale);
        painter->drawImage(rect, image);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return QPixmap::fromImage(render(size, mode));
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        QPixmap pixmap = QPixmap::fromImage(render(size * scale, mode));
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QIconEngine *clone() const override { return new TintedSvgEngine(m_path, m_tint, m_name); }
    QString iconName() override { return m_name; }
    QString key() const override { return QStringLiteral("kelo-tinted-svg"); }
    bool isNull() override { return !QSvgRenderer(m_path).isValid(); }

private:
    QImage render(const QSize &size, QIcon::Mode mode) const
    {
        QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QSvgRenderer renderer(m_path);
        if (!renderer.isValid()) {
            return image;
        }
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // Keep the drawing's aspect ratio inside a non-square request.
        const QSizeF drawn =
            QSizeF(renderer.defaultSize()).scaled(QSizeF(size), Qt::KeepAspectRatio);
        renderer.render(&painter, QRectF(QPointF((size.width() - drawn.width()) / 2,
                                                 (size.height() - drawn.height()) / 2),
                                         drawn));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), m_tint);
        if (mode == QIcon::Disabled) {
            painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            painter.fillRect(image.rect(), QColor(0, 0, 0, 100));
        }
        return image;
    }

    QString m_path;
    QColor m_tint;
    QString m_name;
};

// Our symbolic icon, installed with the package.
const auto traySymbolicName = QStringLiteral("app.kelolens.KeloLens-symbolic");

} // namespace

QString themeIconName(Symbol symbol)
{
    switch (symbol) {
    case Symbol::copy:
        return QStringLiteral("edit-copy");
    case Symbol::checkmark:
        return QStringLiteral("object-select");
    case Symbol::paste:
        return QStringLiteral("edit-paste");
    case Symbol::allowPaste:
        return {};
    case Symbol::more:
        return QStringLiteral("open-menu");
    case Symbol::reset:
        return QStringLiteral("edit-undo");
    case Symbol::success:
        return QStringLiteral("emblem-ok");
    case Symbol::remove:
        return QStringLiteral("list-remove");
    case Symbol::captureText:
        return {};
    }
    return {};
}

QIcon symbolIcon(Symbol symbol, const QColor &tint)
{
    const QString name = themeIconName(symbol);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
        return QIcon::fromTheme(name);
    }
    return bundledSymbolIcon(symbol, tint);
}

QIcon bundledSymbolIcon(Symbol symbol, const QColor &tint)
{
    return QIcon(new TintedSvgEngine(bundledPath(symbol), tint));
}

QIcon trayIcon(const QColor &tint)
{
    return QIcon(
        new TintedSvgEngine(bundledPath(Symbol::captureText), tint,
                            QIcon::hasThemeIcon(traySymbolicName) ? traySymbolicName : QString()));
}
