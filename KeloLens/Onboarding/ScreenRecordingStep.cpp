// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Onboarding/ScreenRecordingStep.h"

#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Onboarding/StepText.h"
#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/Symbols.h"
#include "KeloTheme/ThemeColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int symbolSize = 48;
const QColor grantedGreen(0x28, 0xa7, 0x45);

// A dashed screen rectangle with a recording dot: screen access not granted yet.
QPixmap recordSymbol(const QColor &color, qreal scale)
{
    QPixmap pixmap(QSize(symbolSize, symbolSize) * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen dashed(color, 2.5, Qt::CustomDashLine, Qt::RoundCap);
    dashed.setDashPattern({2, 2});
    painter.setPen(dashed);
    painter.drawRoundedRect(QRectF(3, 8, 34, 28), 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QPointF(37, 35), 9, 9);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(37, 35), 4, 4);
    return pixmap;
}

} // namespace

ScreenRecordingStep::ScreenRecordingStep(PermissionChecker &permission,
                                         ScreenAccessRequest screenAccessRequest, QWidget *parent)
    : QWidget(parent), m_permission(permission),
      m_screenAccessRequest(std::move(screenAccessRequest)), m_symbol(new QLabel(this)),
      m_granted(new QWidget(this)), m_grantedText(new QLabel(m_granted)),
      m_askAgain(new QPushButton(QStringLiteral("Ask Again"), this)),
      m_hint(StepText::caption(QString())), m_timer(new QTimer(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addStretch(1);
    layout->addWidget(m_symbol, 0, Qt::AlignHCenter);
    layout->addWidget(StepText::title(QStringLiteral("Let KeloLens see your screen"), 22));
    QLabel *body = StepText::secondary(
        QStringLiteral("To read text and codes, KeloLens looks at the part of the screen you "
                       "select. On X11 it can do that without asking; desktops that guard the "
                       "screen ask you to allow it first. Captures stay on this computer; nothing "
                       "is stored or uploaded."));
    layout->addWidget(body);

    auto *grantedLayout = new QHBoxLayout(m_granted);
    grantedLayout->setContentsMargins(0, 0, 0, 0);
    grantedLayout->setSpacing(6);
    auto *check = new QLabel(m_granted);
    check->setPixmap(bundledSymbolIcon(Symbol::checkmark, grantedGreen).pixmap(16, 16));
    QPalette green = m_grantedText->palette();
    green.setColor(QPalette::WindowText, grantedGreen);
    m_grantedText->setPalette(green);
    grantedLayout->addWidget(check);
    grantedLayout->addWidget(m_grantedText);
    layout->addWidget(m_granted, 0, Qt::AlignHCenter);

    keloButton(m_askAgain, ControlSize::large);
    connect(m_askAgain, &QPushButton::clicked, this, [this] {
        if (m_isAllowOffered) {
            m_screenAccessRequest.ask();
        } else {
            m_permission.requestScreenRecording();
        }
        refresh();
    });
    layout->addWidget(m_askAgain, 0, Qt::AlignHCenter);
    layout->addWidget(m_hint);
    layout->addStretch(1);

    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &ScreenRecordingStep::refresh);
    m_timer->start();
    refresh();
}

void ScreenRecordingStep::refresh()
{
    m_isGranted = m_permission.isScreenRecordingGranted();
    // Allowed for good only once asked: until then the desktop asks at each capture.
    m_isAllowOffered = m_permission.isAskedAtCapture() && m_screenAccessRequest.isPossible();
    const bool looksGranted = m_isGranted && !m_isAllowOffered;
    const qreal scale = devicePixelRatioF();
    m_symbol->setPixmap(looksGranted ? bundledSymbolIcon(Symbol::success, grantedGreen)
                                           .pixmap(QSize(symbolSize, symbolSize), scale)
                                     : recordSymbol(ThemeColors::accent(palette()), scale));
    m_granted->setVisible(looksGranted);
    m_grantedText->setText(m_permission.isAskedAtCapture()
                               ? QStringLiteral("Your desktop will ask at your first capture")
                               : QStringLiteral("Access granted"));
    const bool canAskAgain = !m_isGranted && m_permission.canRequestScreenRecording();
    m_askAgain->setText(m_isAllowOffered ? QStringLiteral("Allow…") : QStringLiteral("Ask Again"));
    m_askAgain->setVisible(m_isAllowOffered || canAskAgain);
    if (m_isAllowOffered) {
        m_hint->setText(QStringLiteral("Asked at each capture. Allow it here once, and captures "
                                       "stop asking."));
    } else {
        m_hint->setText(canAskAgain
                            ? QStringLiteral("Your desktop remembers that you refused. Ask Again, "
                                             "and it asks you at the next capture.")
                            : QStringLiteral("Your desktop refused. Allow screenshots for KeloLens "
                                             "in its privacy settings, then come back here."));
    }
    m_hint->setVisible(!looksGranted);
}
