// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/WifiPopover.h"

#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/GlassSurface.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr qreal cornerRadius = 10;
constexpr int anchorGap = 6;

QLabel *captionLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(themeFont(TextStyle::caption));
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, ThemeColors::secondary(colors));
    label->setPalette(colors);
    return label;
}

} // namespace

WifiPopover::WifiPopover(const Chip &chip, bool isCompositing, QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_chip(chip),
      m_shadowMargin(GlassSurface::floatingShadowMargin(isCompositing))
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);

    const auto *code = chip.kind.as<ChipKind::Code>();
    const auto credentials = code ? code->code.wifiCredentials() : std::nullopt;
    if (credentials) {
        layout->addWidget(captionLabel(QStringLiteral("Wi-Fi network"), content));
        auto *name = new QLabel(credentials->ssid, content);
        name->setObjectName(QStringLiteral("wifiNetworkName"));
        name->setTextFormat(Qt::PlainText);
        name->setFont(themeFont(TextStyle::headline));
        layout->addWidget(name);
        if (credentials->password) {
            auto *copy = new QPushButton(QStringLiteral("Copy Password"), content);
            copy->setObjectName(QStringLiteral("copyPasswordButton"));
            keloProminentButton(copy);
            copy->setDefault(true);
            connect(copy, &QPushButton::clicked, this, [this, password = *credentials->password] {
                Q_EMIT copyPasswordRequested(password);
            });
            layout->addWidget(copy, 0, Qt::AlignLeft);
        } else {
            auto *open = captionLabel(QStringLiteral("Open network, no password."), content);
            open->setObjectName(QStringLiteral("openNetworkLabel"));
            layout->addWidget(open);
        }
    }
    GlassSurface::floating(this, content, content->sizeHint().expandedTo(QSize(160, 24)),
                           cornerRadius, isCompositing);
}

void WifiPopover::popUp(const QWidget *anchor)
{
    // The window's frame includes the shadow margin; the gap is measured to the surface.
    const QRect anchorRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    const int m = m_shadowMargin;
    // Above the chip, over the text, never over the buttons below the chips: those stay usable
    // while the details are open. Below only where the screen has no room above.
    QPoint origin(anchorRect.center().x() - width() / 2,
                  anchorRect.top() - anchorGap - height() + m);
    if (const QScreen *screen = anchor->screen()) {
        const QRect usable = screen->availableGeometry();
        if (origin.y() + m < usable.top()) {
            origin.setY(anchorRect.bottom() + 1 + anchorGap - m);
        }
        origin.setX(std::clamp(origin.x(), usable.left(),
                               std::max(usable.left(), usable.right() + 1 - width())));
    }
    move(origin);
    show();
}

void WifiPopover::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    Q_EMIT closed();
}
