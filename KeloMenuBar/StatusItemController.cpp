// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloMenuBar/StatusItemController.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

StatusItemController::StatusItemController(const QIcon &icon, const QString &toolTip,
                                           MenuBuilder build, QObject *parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>()), m_item(new QSystemTrayIcon(icon, this)),
      m_build(std::move(build))
{
    m_item->setToolTip(toolTip);
    m_menu->setTitle(toolTip);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusItemController::rebuildMenu);
    m_item->setContextMenu(m_menu.get());
    // The tray shows the menu on a right click by itself; a left click opens it too, the way a
    // status item behaves.
    connect(m_item, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && !m_menu->isVisible()) {
                    m_menu->popup(QCursor::pos());
                }
            });
    m_item->show();
}

StatusItemController::~StatusItemController()
{
    // The tray icon refers to the menu: take it down first.
    m_item->setContextMenu(nullptr);
    delete m_item;
}

bool StatusItemController::isTrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool StatusItemController::isVisible() const
{
    return m_item->isVisible();
}

void StatusItemController::setVisible(bool isVisible)
{
    m_item->setVisible(isVisible);
}

void StatusItemController::rebuildMenu()
{
    m_menu->clear();
    if (m_build) {
        m_build(*m_menu);
    }
}
