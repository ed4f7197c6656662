// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ChipsRow.h"

#include "KeloLens/Results/ChipButton.h"
#include "KeloTheme/ThemeColors.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

namespace {

constexpr int rowHeight = 30;
constexpr int fadeWidth = 24;
constexpr int arrowWidth = 18;

// A row that scrolls sideways with an ordinary mouse wheel too, and shows no scroll bars.
class SidewaysScrollArea final : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        const QPoint delta = event->angleDelta();
        const int step = delta.x() != 0 ? delta.x() : delta.y();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step / 2);
        event->accept();
    }
};

// A flat button with a chevron pointing the way it scrolls.
class ArrowButton final : public QToolButton
{
public:
    ArrowButton(Qt::ArrowType direction, QWidget *parent)
        : QToolButton(parent), m_direction(direction)
    {
        setAutoRaise(true);
        setFixedSize(arrowWidth, rowHeight);
        // The keyboard moves between the chips themselves; the arrows are for the mouse.
        setFocusPolicy(Qt::NoFocus);
        setAutoRepeat(true);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QToolButton::paintEvent(event);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor color = ThemeColors::primary(palette());
        color.setAlphaF(isEnabled() ? 0.8F : 0.25F);
        painter.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF centre = QRectF(rect()).center();
        const qreal side = m_direction == Qt::LeftArrow ? -2.5 : 2.5;
        painter.drawPolyline(QList<QPointF>{centre + QPointF(-side, -5), centre + QPointF(side, 0),
                                            centre + QPointF(-side, 5)});
    }

private:
    Qt::ArrowType m_direction;
};

} // namespace

ChipsRow::ChipsRow(QWidget *parent)
    : QWidget(parent), m_scroll(new SidewaysScrollArea(this)), m_content(new QWidget),
      m_layout(new QHBoxLayout(m_content)), m_fade(new QGraphicsOpacityEffect(m_content)),
      m_left(new ArrowButton(Qt::LeftArrow, this)), m_right(new ArrowButton(Qt::RightArrow, this))
{
    setFixedHeight(rowHeight);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_left);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_right);

    m_scroll->setObjectName(QStringLiteral("chipsScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_content->setAutoFillBackground(false);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    m_layout->addStretch();
    m_scroll->setWidget(m_content);
    m_content->setGraphicsEffect(m_fade);
    m_fade->setOpacity(1.0);

    m_left->setObjectName(QStringLiteral("scrollChipsLeft"));
    m_left->setAccessibleName(QStringLiteral("Scroll chips left"));
    m_right->setObjectName(QStringLiteral("scrollChipsRight"));
    m_right->setAccessibleName(QStringLiteral("Scroll chips right"));
    connect(m_left, &QToolButton::clicked, this, [this] { scrollBy(-1); });
    connect(m_right, &QToolButton::clicked, this, [this] { scrollBy(1); });
    QScrollBar *bar = m_scroll->horizontalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, &ChipsRow::showScrollState);
    connect(bar, &QScrollBar::rangeChanged, this, &ChipsRow::showScrollState);
    showScrollState();
}

void ChipsRow::setChips(const QList<Chip> &chips)
{
    if (chips == m_chips) {
        return;
    }
    m_chips = chips;
    while (m_layout->count() > 1) {
        QLayoutItem *item = m_layout->takeAt(0);
        delete item->widget();
        delete item;
    }
    for (qsizetype i = 0; i < chips.size(); ++i) {
        auto *button = new ChipButton(chips[i], m_content);
        connect(button, &QPushButton::clicked, this,
                [this, button] { Q_EMIT chipClicked(button->chip()); });
        m_layout->insertWidget(int(i), button, 0, Qt::AlignVCenter);
    }
    m_layout->activate();
    m_scroll->horizontalScrollBar()->setValue(0);
    showScrollState();
}

QList<ChipButton *> ChipsRow::buttons() const
{
    QList<ChipButton *> buttons;
    for (int i = 0; i + 1 < m_layout->count(); ++i) {
        buttons.append(static_cast<ChipButton *>(m_layout->itemAt(i)->widget()));
    }
    return buttons;
}

ChipButton *ChipsRow::buttonFor(const Chip &chip) const
{
    for (ChipButton *button : buttons()) {
        if (button->chip() == chip) {
            return button;
        }
    }
    return nullptr;
}

void ChipsRow::scrollTo(ChipButton *button)
{
    // Clear of the faded edges, where a chip would still be half hidden.
    m_scroll->ensureWidgetVisible(button, fadeWidth, 0);
}

bool ChipsRow::moveFocus(int direction)
{
    const QList<ChipButton *> all = buttons();
    if (all.isEmpty()) {
        return false;
    }
    const qsizetype current = all.indexOf(focusedButton());
    qsizetype next = current < 0 ? (direction > 0 ? 0 : all.size() - 1) : current + direction;
    next = std::clamp<qsizetype>(next, 0, all.size() - 1);
    all[next]->setFocus(Qt::OtherFocusReason);
    scrollTo(all[next]);
    return true;
}

ChipButton *ChipsRow::focusedButton() const
{
    const QWidget *focus = window()->focusWidget();
    for (ChipButton *button : buttons()) {
        if (button == focus) {
            return button;
        }
    }
    return nullptr;
}

void ChipsRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showScrollState();
}

void ChipsRow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showScrollState();
}

void ChipsRow::scrollBy(int direction)
{
    QScrollBar *bar = m_scroll->horizontalScrollBar();
    bar->setValue(bar->value() + direction * std::max(40, m_scroll->viewport()->width() * 2 / 3));
}

void ChipsRow::showScrollState()
{
    const QScrollBar *bar = m_scroll->horizontalScrollBar();
    const bool canScroll = bar->maximum() > 0;
    m_left->setVisible(canScroll);
    m_right->setVisible(canScroll);
    m_left->setEnabled(bar->value() > 0);
    m_right->setEnabled(bar->value() < bar->maximum());

    // The mask is in the content's coordinates, which move as the row scrolls.
    const qreal left = bar->value();
    const qreal right = left + m_scroll->viewport()->width();
    const qreal width = std::max(1, m_content->width());
    QLinearGradient mask(0, 0, width, 0);
    const auto at = [width](qreal x) { return std::clamp(x / width, 0.0, 1.0); };
    const QColor opaque(Qt::black);
    const QColor clear(Qt::transparent);
    mask.setColorAt(0, opaque);
    if (m_left->isEnabled() && canScroll) {
        mask.setColorAt(at(left), clear);
        mask.setColorAt(at(left + fadeWidth), opaque);
    }
    if (m_right->isEnabled() && canScroll) {
        mask.setColorAt(at(right - fadeWidth), opaque);
        mask.setColorAt(at(right), clear);
    }
    mask.setColorAt(1, m_right->isEnabled() && canScroll ? clear : opaque);
    m_fade->setOpacityMask(mask);
}
