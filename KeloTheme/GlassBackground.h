// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

// The painted surface behind a KeloLens window's content: a rounded fill in the palette's window
// colour with a hairline border and, when `shadowMargin` is not 0, a soft shadow drawn into that
// margin. The content sits inside the margin and is resized with the surface. Dragging the
// background moves the window.
class GlassBackground final : public QWidget
{
public:
    explicit GlassBackground(QWidget *parent = nullptr);

    struct Look
    {
        qreal cornerRadius = 0;
        int shadowMargin = 0;
        // The fill lets a little of what lies behind show through; only with compositing.
        bool isTranslucent = false;
        // Titled windows: no border of our own, the window manager's frame is the edge.
        bool hasBorder = true;

        bool operator==(const Look &) const = default;
    };

    void setLook(const Look &look);
    [[nodiscard]] Look look() const { return m_look; }

    // Replaces the content; the previous content, if another, is deleted.
    void setContent(QWidget *content);
    [[nodiscard]] QWidget *content() const { return m_content; }

    // The fill colour for a palette.
    [[nodiscard]] static QColor fillColor(const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    [[nodiscard]] QRectF surfaceRect() const;
    void layoutContent();
    const QImage &shadow();

    Look m_look;
    QWidget *m_content = nullptr;
    QImage m_shadow;
};
