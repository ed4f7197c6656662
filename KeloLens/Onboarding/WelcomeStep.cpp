// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Onboarding/WelcomeStep.h"

#include "KeloHotkey/widgets/KeyCap.h"
#include "KeloLens/Onboarding/StepText.h"
#include "KeloTheme/Symbols.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

constexpr QSize cardSize(260, 110);
constexpr QSizeF smallMarker(20, 20);
constexpr QSizeF largeMarker(250, 100);
// How far below the card's centre the "Copied" badge sits: over the card's lower edge.
constexpr qreal badgeOffset = 40;

} // namespace

// The card with the sample text, the selection marker and the "Copied" badge, animated between
// the phases.
class CaptureDemo final : public QWidget
{
public:
    CaptureDemo(QStringList lines, QWidget *parent)
        : QWidget(parent), m_lines(std::move(lines)), m_marker(new QVariantAnimation(this)),
          m_markerFade(new QVariantAnimation(this)), m_badgeFade(new QVariantAnimation(this))
    {
        setFixedSize(cardSize.width(), cardSize.height() + 2);
        for (QVariantAnimation *animation : {m_marker, m_markerFade}) {
            animation->setDuration(600);
            animation->setEasingCurve(QEasingCurve::InOutQuad);
        }
        m_badgeFade->setDuration(300);
        m_badgeFade->setEasingCurve(QEasingCurve::InOutQuad);
        for (QVariantAnimation *animation : {m_marker, m_markerFade, m_badgeFade}) {
            connect(animation, &QVariantAnimation::valueChanged, this, [this] { update(); });
        }
        m_marker->setStartValue(smallMarker);
        m_marker->setEndValue(smallMarker);
        m_markerFade->setStartValue(1.0);
        m_markerFade->setEndValue(1.0);
        m_badgeFade->setStartValue(0.0);
        m_badgeFade->setEndValue(0.0);
    }

    void showPhase(int phase)
    {
        animateTo(m_marker, QVariant(phase == 0 ? smallMarker : largeMarker));
        animateTo(m_markerFade, phase == 3 ? 0.0 : 1.0);
        animateTo(m_badgeFade, phase >= 2 ? 1.0 : 0.0);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF card(QPointF(0, 0), cardSize);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ThemeColors::primary(palette(), 0.06));
        painter.drawRoundedRect(card, 10, 10);

        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPixelSize(13);
        painter.setFont(mono);
        painter.setPen(ThemeColors::primary(palette()));
        const QFontMetricsF metrics(mono);
        qreal textWidth = 0;
        for (const QString &line : m_lines) {
            textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
        }
        const qreal lineHeight = metrics.lineSpacing();
        QPointF origin(card.center().x() - textWidth / 2,
                       card.center().y() - lineHeight * m_lines.size() / 2 + metrics.ascent());
        for (const QString &line : m_lines) {
            painter.drawText(origin, line);
            origin.ry() += lineHeight;
        }

        // The marker's border lies inside its frame.
        const QSizeF size = m_marker->currentValue().toSizeF();
        QRectF marker(QPointF(), size);
        marker.moveCenter(card.center());
        QPen dashed(ThemeColors::accent(palette()), 2, Qt::CustomDashLine, Qt::FlatCap,
                    Qt::MiterJoin);
        dashed.setDashPattern({3, 2}); // 6 on, 4 off: the pattern counts in pen widths
        painter.setOpacity(m_markerFade->currentValue().toReal());
        painter.setPen(dashed);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(marker.adjusted(1, 1, -1, -1), 6, 6);

        painter.setOpacity(m_badgeFade->currentValue().toReal());
        paintBadge(painter, card.center() + QPointF(0, badgeOffset));
    }

private:
    void paintBadge(QPainter &painter, QPointF centre)
    {
        const QFont headline = themeFont(TextStyle::headline);
        const QString text = QStringLiteral("Copied");
        const QFontMetricsF metrics(headline);
        const qreal icon = metrics.height();
        const QSizeF size(8 + icon + 5 + metrics.horizontalAdvance(text) + 8,
                          8 + metrics.height() + 8);
        QRectF badge(QPointF(), size);
        badge.moveCenter(centre);
        painter.setPen(QPen(ThemeColors::primary(palette(), 0.1), 0.75));
        QColor material = palette().color(QPalette::Window);
        material.setAlphaF(0.92);
        painter.setBrush(material);
        painter.drawRoundedRect(badge, size.height() / 2, size.height() / 2);
        const QColor green(0x28, 0xa7, 0x45);
        bundledSymbolIcon(Symbol::success, green)
            .paint(&painter, QRectF(badge.left() + 8, badge.top() + 8, icon, icon).toRect());
        painter.setFont(headline);
        painter.setPen(green);
        painter.drawText(
            QRectF(badge.left() + 8 + icon + 5, badge.top(), size.width(), size.height()),
            Qt::AlignVCenter | Qt::AlignLeft, text);
    }

    static void animateTo(QVariantAnimation *animation, const QVariant &target)
    {
        if (animation->endValue() == target) {
            return;
        }
        animation->stop();
        animation->setStartValue(animation->currentValue());
        animation->setEndValue(target);
        animation->start();
    }

    QStringList m_lines;
    QVariantAnimation *m_marker;
    QVariantAnimation *m_markerFade;
    QVariantAnimation *m_badgeFade;
};

WelcomeStep::WelcomeStep(const QString &hotKey, const QString &website,
                         const QString &installCommand, QWidget *parent)
    : QWidget(parent), m_demo(new CaptureDemo({QStringLiteral("Meeting notes"),
                                               QStringLiteral("Call +1 415 555 0199"), website},
                                              this)),
      m_timer(new QTimer(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addStretch(1);
    layout->addWidget(m_demo, 0, Qt::AlignHCenter);
    layout->addWidget(StepText::title(QStringLiteral("Welcome to KeloLens"), 26));
    auto *subtitle = StepText::secondary(QStringLiteral("Grab any text or code on your screen."));
    QFont title3 = subtitle->font();
    title3.setPixelSize(15);
    subtitle->setFont(title3);
    layout->addWidget(subtitle);
    auto *badge = new KeyCap(hotKey, KeyCap::Size::large);
    layout->addSpacing(6);
    layout->addWidget(badge, 0, Qt::AlignHCenter);
    if (installCommand.isEmpty()) {
        layout->addWidget(StepText::secondary(
            QStringLiteral("Press it, drag over the text, and it's on your clipboard.")));
    } else {
        layout->addWidget(StepText::secondary(
            QStringLiteral("First install a screenshot tool to capture with:")));
        auto *command = new QLabel(installCommand);
        command->setTextFormat(Qt::PlainText);
        command->setAlignment(Qt::AlignHCenter);
        command->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        command->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        command->setAccessibleName(QStringLiteral("Install command"));
        layout->addWidget(command);
    }
    layout->addStretch(1);

    m_timer->setInterval(1200);
    connect(m_timer, &QTimer::timeout, this, &WelcomeStep::nextPhase);
    m_timer->start();
}

void WelcomeStep::nextPhase()
{
    m_phase = (m_phase + 1) % 4;
    m_demo->showPhase(m_phase);
}
