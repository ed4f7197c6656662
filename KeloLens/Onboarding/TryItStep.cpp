// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Onboarding/TryItStep.h"

#include "KeloLens/Onboarding/StepText.h"
#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A filled accent circle with a white number.
QPixmap numberSymbol(int number, const QColor &accent, qreal scale)
{
    constexpr int size = 18;
    QPixmap pixmap(QSize(size, size) * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawEllipse(QRectF(0, 0, size, size));
    QFont font = themeFont(TextStyle::headline);
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QString::number(number));
    return pixmap;
}

QWidget *numberedRow(int number, const QString &text, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto *symbol = new QLabel(row);
    symbol->setPixmap(
        numberSymbol(number, ThemeColors::accent(row->palette()), row->devicePixelRatioF()));
    auto *label = new QLabel(text, row);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QFont font = themeFont(TextStyle::body);
    font.setPixelSize(14);
    label->setFont(font);
    layout->addWidget(symbol, 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    return row;
}

} // namespace

TryItStep::TryItStep(const QString &hotKey, std::function<void()> tryCapture, bool canPaste,
                     QWidget *parent)
    : QWidget(parent), m_tryButton(new QPushButton(QStringLiteral("Try it now")))
{
    auto *column = new QWidget(this);
    column->setFixedWidth(420);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    QLabel *title = StepText::title(QStringLiteral("Try it now"), 22);
    title->setAlignment(Qt::AlignLeft);
    layout->addWidget(title);
    layout->addWidget(numberedRow(
        1,
        hotKey.isEmpty()
            ? QStringLiteral("Add a shortcut that runs “kelolens --capture” in your desktop's "
                             "keyboard settings, then press it anywhere.")
            : QStringLiteral("Press ") + hotKey + QStringLiteral(" anywhere"),
        column));
    layout->addWidget(
        numberedRow(2, QStringLiteral("Drag over some text, a link, or a QR code."), column));
    layout->addWidget(numberedRow(
        3,
        canPaste ? QStringLiteral("It's copied instantly. Edit, paste, or tap a link in the panel.")
                 : QStringLiteral("It's copied instantly. Edit it, or tap a link in the panel."),
        column));
    keloProminentButton(m_tryButton, ControlSize::large);
    connect(m_tryButton, &QPushButton::clicked, this, [capture = std::move(tryCapture)] {
        if (capture) {
            capture();
        }
    });
    layout->addSpacing(4);
    layout->addWidget(m_tryButton, 0, Qt::AlignLeft);
    QLabel *caption = StepText::caption(
        canPaste ? QStringLiteral("Paste into other apps asks for Accessibility the first time you "
                                  "use it.")
                 : QStringLiteral("This desktop lets no app type into another: paste the text "
                                  "yourself with Ctrl+V."));
    caption->setAlignment(Qt::AlignLeft);
    layout->addWidget(caption);

    // Centred by stretches rather than an alignment, which would keep the wrapped rows at the
    // height of one line.
    auto *centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addWidget(column);
    centred->addStretch(1);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addStretch(1);
    outer->addLayout(centred);
    outer->addStretch(1);
}
