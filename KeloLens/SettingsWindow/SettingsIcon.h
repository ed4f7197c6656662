// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QWidget>

class QPainter;

// A small coloured tile with a white symbol, the icon of a sidebar row or an About link. The
// symbols are "gearshape.fill", "text.viewfinder", "globe", "sparkles" and "envelope.fill"; an
// unknown name leaves the tile empty.
class SettingsIcon final : public QWidget
{
    Q_OBJECT

public:
    static const QColor gray;
    static const QColor indigo;
    static const QColor blue;
    static const QColor orange;
    static const QColor green;
    static const QColor red;

    SettingsIcon(QString symbol, QColor tint, int size = 20, QWidget *parent = nullptr);

    [[nodiscard]] const QString &symbol() const { return m_symbol; }
    [[nodiscard]] QSize sizeHint() const override { return {m_size, m_size}; }

    // The tile as an icon, for list rows and buttons.
    [[nodiscard]] static QIcon icon(const QString &symbol, const QColor &tint, int size = 20);
    // Draws the tile into a square.
    static void paintTile(QPainter &painter, const QRectF &rect, const QString &symbol,
                          const QColor &tint);
    // Draws just the symbol in one colour; true when the name is known. Cut-outs clear what is
    // below, so draw onto a layer of its own (as paintTile does).
    static bool paintSymbol(QPainter &painter, const QRectF &rect, const QString &symbol,
                            const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    QColor m_tint;
    int m_size;
};
