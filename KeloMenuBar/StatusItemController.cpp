// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloMenuBar/StatusItemController.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

// Symbolic icon colours that read on any panel of their kind.
const QColor onDarkPanel(0xee, 0xee, 0xec);
const QColor onLightPanel(0x2e, 0x34, 0x36);

// Soon after start the tray is still placing the icon; later, a slow look keeps up with panels
// that restart or change their theme.
constexpr std::chrono::milliseconds earlyLook{700};
constexpr std::chrono::seconds laterLook{30};
constexpr int earlyLooks = 6;

bool isDark(const QColor &color)
{
    return color.lightnessF() < 0.5;
}

} // namespace

StatusItemController::StatusItemController(IconMaker makeIcon, const QString &toolTip,
                                           MenuBuilder build, QObject *parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>()), m_item(new QSystemTrayIcon(this)),
      m_build(std::move(build)), m_makeIcon(std::move(makeIcon))
{
    const QColor window = QApplication::palette().color(QPalette::Window);
    m_iconColor = isDark(window) ? onDarkPanel : onLightPanel;
    if (m_makeIcon) {
        m_item->setIcon(m_makeIcon(m_iconColor));
    }
    m_item->setToolTip(toolTip);
    m_menu->setTitle(toolTip);
    m_menu->installEventFilter(this);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusItemController::rebuildMenu);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusItemController::followPanelLook);
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

    m_lookCheck.setInterval(earlyLook);
    connect(&m_lookCheck, &QTimer::timeout, this, [this] {
        if (++m_lookChecks == earlyLooks) {
            m_lookCheck.setInterval(laterLook);
        }
        followPanelLook();
    });
    m_lookCheck.start();
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

void StatusItemController::followPanelLook()
{
    QColor color;
    const QRect place = m_item->geometry();
    QScreen *screen = place.isValid() ? QGuiApplication::screenAt(place.center()) : nullptr;
    if (screen != nullptr) {
        const QRect local = place.translated(-screen->geometry().topLeft());
        color = iconColorOn(
            screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage());
    }
    if (!color.isValid()) {
        const QColor window = QApplication::palette().color(QPalette::Window);
        color = isDark(window) ? onDarkPanel : onLightPanel;
    }
    if (color == m_iconColor) {
        return;
    }
    m_iconColor = color;
    if (m_makeIcon) {
        m_item->setIcon(m_makeIcon(color));
    }
}

QColor StatusItemController::iconColorOn(const QImage &behindIcon)
{
    if (behindIcon.width() < 3 || behindIcon.height() < 3) {
        return {};
    }
    std::vector<float> edge;
    const auto add = [&](int x, int y) {
        edge.push_back(float(behindIcon.pixelColor(x, y).lightnessF()));
    };
    for (int x = 0; x < behindIcon.width(); ++x) {
        add(x, 0);
        add(x, behindIcon.height() - 1);
    }
    for (int y = 1; y + 1 < behindIcon.height(); ++y) {
        add(0, y);
        add(behindIcon.width() - 1, y);
    }
    // The median: a stray pixel of the icon itself at the edge does not decide.
    std::nth_element(edge.begin(), edge.begin() + std::ptrdiff_t(edge.size() / 2), edge.end());
    return edge[edge.size() / 2] < 0.5F ? onDarkPanel : onLightPanel;
}

bool StatusItemController::eventFilter(QObject *watched, QEvent *event)
{
    // A menu opened from the tray holds the keyboard but no shortcuts of its own: its items'
    // shortcuts would otherwise do nothing while it is open.
    if (watched == m_menu.get() && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction *action : m_menu->actions()) {
            if (action->isEnabled() && !action->shortcut().isEmpty() &&
                action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                m_menu->hide();
                action->trigger();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
