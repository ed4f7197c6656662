// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ToastView.h"

#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/ThemeFonts.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextLayout>

ToastView::ToastView(const QString &message, const std::optional<QString> &actionTitle,
                     std::function<void()> action, QWidget *parent)
    : QWidget(parent), m_message(new QLabel(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(12);
    // The content keeps its natural size, centred in a toast made larger than it.
    layout->addStretch();

    QFont font = themeFont(TextStyle::body);
    font.setWeight(QFont::Medium);
    m_message->setFont(font);
    m_message->setText(twoLines(message, font, maximumMessageWidth));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAccessibleName(message);
    layout->addWidget(m_message, 0, Qt::AlignVCenter);

    if (actionTitle) {
        m_button = new QPushButton(*actionTitle, this);
        m_button->setObjectName(QStringLiteral("toastAction"));
        m_button->setFocusPolicy(Qt::NoFocus);
        keloButton(m_button, ControlSize::small);
        connect(m_button, &QPushButton::clicked, this, [action = std::move(action)] {
            if (action) {
                action();
            }
        });
        layout->addWidget(m_button, 0, Qt::AlignVCenter);
    }
    layout->addStretch();
}

QString ToastView::twoLines(const QString &message, const QFont &font, int width)
{
    const QString text = message.simplified();
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }

    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    first.setLineWidth(width);
    layout.endLayout();
    const QString firstLine = text.left(first.textLength()).trimmed();
    const QString rest = text.mid(first.textLength()).trimmed();
    return firstLine + u'\n' + metrics.elidedText(rest, Qt::ElideRight, width);
}
