// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProxyStyle>

class QPushButton;

// How much room a button takes: small in toasts, regular in panels, large for the one main
// action of a window.
enum class ControlSize { small, regular, large };

// The look of KeloLens push buttons: rounded capsules drawn over whatever style the desktop uses.
// Each styled button owns its style object. Main thread only.
class ButtonStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    enum class Kind {
        // A flat, slightly tinted capsule with a hairline: secondary actions.
        plain,
        // Filled with the accent colour: the action Return would trigger.
        prominent,
    };

    ButtonStyle(Kind kind, ControlSize size);

    // The height of a button of this size.
    [[nodiscard]] static int height(ControlSize size);

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contentsSize,
                           const QWidget *widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override;

private:
    void drawBevel(const QStyleOption *option, QPainter *painter) const;

    Kind m_kind;
    ControlSize m_size;
};

// Styles a button as a plain KeloLens button, replacing an earlier KeloLens style of it.
void keloButton(QPushButton *button, ControlSize size = ControlSize::regular);
// Styles a button as the prominent, accent-filled KeloLens button.
void keloProminentButton(QPushButton *button, ControlSize size = ControlSize::regular);
