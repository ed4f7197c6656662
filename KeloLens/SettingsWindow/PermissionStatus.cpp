// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/PermissionStatus.h"

#include "KeloLens/SettingsWindow/SettingsIcon.h"
#include "KeloTheme/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

PermissionStatus::PermissionStatus(const QString &buttonTitle, std::function<void()> onRequest,
                                   QWidget *parent)
    : QWidget(parent), m_allowedRow(new QWidget(this)), m_allowed(new QLabel(this)),
      m_button(new QPushButton(buttonTitle, this))
{
    auto *check = new QLabel(m_allowedRow);
    check->setPixmap(bundledSymbolIcon(Symbol::success, SettingsIcon::green).pixmap(14, 14));
    m_allowed->setParent(m_allowedRow);
    m_allowed->setText(QStringLiteral("Allowed"));
    QPalette green = m_allowed->palette();
    green.setColor(QPalette::WindowText, SettingsIcon::green.darker(115));
    m_allowed->setPalette(green);
    auto *allowedLayout = new QHBoxLayout(m_allowedRow);
    allowedLayout->setContentsMargins(0, 0, 0, 0);
    allowedLayout->setSpacing(5);
    allowedLayout->addWidget(check);
    allowedLayout->addWidget(m_allowed);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_allowedRow);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [request = std::move(onRequest)] {
        if (request) {
            request();
        }
    });
    setGranted(false);
}

void PermissionStatus::setGranted(bool isGranted)
{
    m_isGranted = isGranted;
    m_allowedRow->setVisible(isGranted);
    m_button->setVisible(!isGranted);
}
