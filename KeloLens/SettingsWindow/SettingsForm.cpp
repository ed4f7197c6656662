// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsForm.h"

#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int rowMinimumHeight = 40;

void useSecondaryText(QLabel *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ThemeColors::secondary(palette));
    label->setPalette(palette);
}

// The card behind a section's rows, with hairlines between them.
class SectionCard final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(ThemeColors::primary(palette(), 0.09), 1));
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.setPen(QPen(ThemeColors::primary(palette(), 0.08), 1));
        const auto *rows = layout();
        QWidget *previous = nullptr;
        for (int i = 0; rows != nullptr && i < rows->count(); ++i) {
            QWidget *row = rows->itemAt(i)->widget();
            if (row == nullptr || row->isHidden()) {
                continue;
            }
            if (previous != nullptr) {
                const qreal y = (previous->geometry().bottom() + row->geometry().top()) / 2.0 + 0.5;
                painter.drawLine(QPointF(12, y), QPointF(width() - 12, y));
            }
            previous = row;
        }
    }
};

QWidget *makeRow(const QString &title, const QString &description, QWidget *control)
{
    auto *row = new QWidget;
    row->setMinimumHeight(rowMinimumHeight);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 7, 12, 7);
    layout->setSpacing(12);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto *titleLabel = new QLabel(title, row);
    titleLabel->setObjectName(QStringLiteral("rowTitle"));
    titleLabel->setFont(themeFont(TextStyle::body));
    titleLabel->setTextFormat(Qt::PlainText);
    texts->addWidget(titleLabel);
    if (!description.isEmpty()) {
        auto *descriptionLabel = new QLabel(description, row);
        descriptionLabel->setObjectName(QStringLiteral("rowDescription"));
        descriptionLabel->setFont(themeFont(TextStyle::caption));
        descriptionLabel->setTextFormat(Qt::PlainText);
        descriptionLabel->setWordWrap(true);
        useSecondaryText(descriptionLabel);
        texts->addWidget(descriptionLabel);
    }
    layout->addLayout(texts, 1);
    if (control != nullptr) {
        // A screen reader names a switch or a list by its row; a button with a text of its own
        // (the shortcut) keeps that, and the row's title goes with it as its description.
        const auto *button = qobject_cast<QAbstractButton *>(control);
        if (control->accessibleName().isEmpty() &&
            (button == nullptr || button->text().isEmpty())) {
            control->setAccessibleName(title);
            control->setAccessibleDescription(description);
        } else if (control->accessibleDescription().isEmpty()) {
            control->setAccessibleDescription(title);
        }
        control->setParent(row);
        layout->addWidget(control, 0, Qt::AlignRight | Qt::AlignVCenter);
    }
    row->setAccessibleName(title);
    return row;
}

QLabel *makeNote(const QString &text, QFont font, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(12, 0, 12, 0);
    useSecondaryText(label);
    label->setVisible(!text.isEmpty());
    return label;
}

} // namespace

SettingsSection::SettingsSection(const QString &header, const QString &footer, QWidget *parent)
    : QWidget(parent), m_card(new SectionCard(this)), m_rows(new QVBoxLayout(m_card))
{
    m_rows->setContentsMargins(0, 2, 0, 2);
    m_rows->setSpacing(1);
    QFont headerFont = themeFont(TextStyle::button);
    headerFont.setWeight(QFont::DemiBold);
    m_header = makeNote(header, headerFont, this);
    m_footer = makeNote(footer, themeFont(TextStyle::caption), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_header);
    layout->addWidget(m_card);
    layout->addWidget(m_footer);
}

QWidget *SettingsSection::addRow(const QString &title, const QString &description, QWidget *control)
{
    return insertRow(m_rows->count(), title, description, control);
}

QWidget *SettingsSection::insertRow(int index, const QString &title, const QString &description,
                                    QWidget *control)
{
    QWidget *row = makeRow(title, description, control);
    row->setParent(m_card);
    m_rows->insertWidget(std::clamp(index, 0, int(m_rows->count())), row);
    return row;
}

QWidget *SettingsSection::addRow(QWidget *content)
{
    auto *row = new QWidget(m_card);
    row->setMinimumHeight(rowMinimumHeight);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 7, 12, 7);
    content->setParent(row);
    layout->addWidget(content);
    m_rows->addWidget(row);
    return row;
}

int SettingsSection::indexOfRow(QWidget *row) const
{
    return m_rows->indexOf(row);
}

SettingsForm::SettingsForm(QWidget *parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget;
    content->setAutoFillBackground(false);
    m_sections = new QVBoxLayout(content);
    m_sections->setContentsMargins(20, 20, 20, 20);
    m_sections->setSpacing(18);
    m_sections->addStretch(1);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
    content->setBackgroundRole(QPalette::Window);
}

SettingsSection *SettingsForm::addSection(const QString &header, const QString &footer)
{
    auto *section = new SettingsSection(header, footer);
    addSection(section);
    return section;
}

int SettingsForm::contentHeight(int width) const
{
    const QLayout *sections = widget()->layout();
    if (!sections->hasHeightForWidth()) {
        return sections->totalSizeHint().height();
    }
    // A scroll bar that showed while the window was shorter stays for as long as the text,
    // wrapped beside it, is taller than the view: measured without it, a window grown to fit
    // would keep the scroll bar and still scroll. Measured beside it, the form fits either way.
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return sections->totalHeightForWidth(std::max(1, width - scrollBar));
}

void SettingsForm::addSection(SettingsSection *section)
{
    section->setParent(widget());
    // Before the closing stretch, which keeps the sections at the top.
    m_sections->insertWidget(m_sections->count() - 1, section);
}
