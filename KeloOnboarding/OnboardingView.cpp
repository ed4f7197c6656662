// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloOnboarding/OnboardingView.h"

#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/ThemeColors.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

// One dot per step, the current one in the accent colour.
class PageDots final : public QWidget
{
public:
    using QWidget::QWidget;

    void setPages(int count, int current)
    {
        m_count = count;
        m_current = current;
        updateGeometry();
        update();
    }

    [[nodiscard]] QSize sizeHint() const override
    {
        return {std::max(0, m_count * diameter + (m_count - 1) * spacing), diameter};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const int top = (height() - diameter) / 2;
        for (int page = 0; page < m_count; ++page) {
            painter.setBrush(page == m_current ? ThemeColors::accent(palette())
                                               : ThemeColors::primary(palette(), 0.62 * 0.3));
            painter.drawEllipse(QRect(page * (diameter + spacing), top, diameter, diameter));
        }
    }

private:
    static constexpr int diameter = 7;
    static constexpr int spacing = 6;
    int m_count = 0;
    int m_current = 0;
};

OnboardingView::OnboardingView(QList<OnboardingStep> steps, int startIndex, QString finishTitle,
                               std::function<void()> finish, QWidget *parent)
    : QWidget(parent), m_steps(std::move(steps)), m_finishTitle(std::move(finishTitle)),
      m_finish(std::move(finish)), m_index(clampedIndex(startIndex, m_steps.size())),
      m_contentArea(new QWidget(this)), m_dots(new PageDots(this)),
      m_skipButton(new QPushButton(QStringLiteral("Skip for now"), this)),
      m_mainButton(new QPushButton(this)), m_tick(new QTimer(this))
{
    auto *contentLayout = new QVBoxLayout(m_contentArea);
    contentLayout->setContentsMargins(0, 0, 0, 0);

    m_skipButton->setFlat(true);
    m_skipButton->setCursor(Qt::PointingHandCursor);
    QPalette link = m_skipButton->palette();
    link.setColor(QPalette::ButtonText, link.color(QPalette::Link));
    m_skipButton->setPalette(link);
    keloProminentButton(m_mainButton, ControlSize::large);
    m_mainButton->setDefault(true);
    connect(m_skipButton, &QPushButton::clicked, this, &OnboardingView::advance);
    connect(m_mainButton, &QPushButton::clicked, this, &OnboardingView::advance);

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_dots, 0, Qt::AlignVCenter);
    bar->addStretch(1);
    bar->addWidget(m_skipButton, 0, Qt::AlignVCenter);
    bar->addWidget(m_mainButton, 0, Qt::AlignVCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 36, 28, 24);
    layout->setSpacing(0);
    layout->addWidget(m_contentArea, 1);
    layout->addLayout(bar);

    // Return presses the main button wherever the focus is, as a dialog's default button would.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, m_mainButton, &QPushButton::click);
    }

    m_tick->setInterval(1000);
    connect(m_tick, &QTimer::timeout, this, &OnboardingView::refresh);
    m_tick->start();
    showStep();
}

int OnboardingView::clampedIndex(int index, qsizetype stepCount)
{
    const int last = stepCount > 0 ? int(stepCount) - 1 : 0;
    return std::min(last, std::max(index, 0));
}

bool OnboardingView::isBlocked() const
{
    if (m_index >= m_steps.size()) {
        return false;
    }
    const auto &isComplete = m_steps.at(m_index).isComplete;
    return isComplete && !isComplete();
}

void OnboardingView::advance()
{
    if (m_index >= m_steps.size() - 1) {
        if (m_finish) {
            m_finish();
        }
        return;
    }
    ++m_index;
    showStep();
}

void OnboardingView::showStep()
{
    // A step's body is built again each time it is shown, never updated in place.
    if (m_content != nullptr) {
        m_content->hide();
        m_content->deleteLater();
        m_content = nullptr;
    }
    if (m_index < m_steps.size() && m_steps.at(m_index).content) {
        m_content = m_steps.at(m_index).content();
    }
    if (m_content != nullptr) {
        m_content->setParent(m_contentArea);
        m_content->setObjectName(m_steps.at(m_index).id);
        m_contentArea->layout()->addWidget(m_content);
        m_content->show();
    }
    m_dots->setPages(int(m_steps.size()), m_index);
    m_mainButton->setText(m_index < m_steps.size() - 1 ? QStringLiteral("Continue")
                                                       : m_finishTitle);
    refresh();
}

void OnboardingView::refresh()
{
    m_skipButton->setVisible(isBlocked());
}
