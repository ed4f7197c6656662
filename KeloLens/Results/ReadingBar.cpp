// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ReadingBar.h"

#include "KeloLens/Results/ResultViewModel.h"
#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/ThemeFonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QPushButton *smallButton(const QString &name, const QString &title, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(themeFont(TextStyle::caption));
    keloButton(button, ControlSize::small);
    return button;
}

} // namespace

ReadingBar::ReadingBar(ResultViewModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("readingBar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("readingLabel"));
    m_label->setFont(themeFont(TextStyle::caption));
    m_label->setWordWrap(true);
    layout->addWidget(m_label, 1);
    m_settingsButton = smallButton(QStringLiteral("languageSettingsButton"),
                                   QStringLiteral("Open Settings"), this);
    m_replaceButton = smallButton(QStringLiteral("replaceButton"), QStringLiteral("Replace"), this);
    m_keepButton =
        smallButton(QStringLiteral("keepEditsButton"), QStringLiteral("Keep Edits"), this);
    for (QPushButton *button : {m_settingsButton, m_replaceButton, m_keepButton}) {
        layout->addWidget(button, 0, Qt::AlignVCenter);
    }
    connect(m_settingsButton, &QPushButton::clicked, this, [this] {
        if (m_model.onOpenLanguageSettings) {
            m_model.onOpenLanguageSettings();
        }
    });
    connect(m_replaceButton, &QPushButton::clicked, &m_model,
            &ResultViewModel::confirmPendingReading);
    connect(m_keepButton, &QPushButton::clicked, &m_model, &ResultViewModel::cancelPendingReading);
    connect(&m_model, &ResultViewModel::readingChanged, this, &ReadingBar::showState);
    connect(&m_model, &ResultViewModel::noticeChanged, this, &ReadingBar::showState);
    showState();
}

void ReadingBar::showState()
{
    const bool isAsking = m_model.pendingReading().has_value();
    const bool isReading = m_model.isReadingAgain();
    const bool hasNotice = !m_model.notice().isEmpty();
    if (isAsking) {
        m_label->setText(QString::fromLatin1(replaceQuestion));
    } else if (isReading) {
        m_label->setText(QStringLiteral("Reading again…"));
    } else {
        m_label->setText(m_model.notice());
    }
    m_replaceButton->setVisible(isAsking);
    m_keepButton->setVisible(isAsking);
    m_settingsButton->setVisible(!isAsking && !isReading && hasNotice);
    setVisible(isAsking || isReading || hasNotice);
}
