// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsWindowController.h"

#include "KeloLens/SettingsWindow/SettingsDetail.h"
#include "KeloLens/SettingsWindow/SettingsRouter.h"
#include "KeloLens/SettingsWindow/SettingsSidebar.h"
#include "KeloMenuBar/MainMenu.h"
#include "KeloTheme/WindowFront.h"

#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QScreen>
#include <QWidget>

SettingsWindowController::SettingsWindowController(SettingsRouter &router,
                                                   SettingsServices services)
    : m_router(router), m_services(std::move(services))
{
}

SettingsWindowController::~SettingsWindowController()
{
    m_router.onChange = nullptr;
}

void SettingsWindowController::show(std::optional<SettingsPage> page)
{
    if (page) {
        m_router.setPage(*page);
    }
    if (!m_window) {
        build();
    }
    m_window->setWindowTitle(SettingsPages::title(m_router.page()));
    bringWindowToFront(*m_window);
}

void SettingsWindowController::setTrayMissing(bool isTrayMissing)
{
    m_services.isTrayMissing = isTrayMissing;
    if (m_detail != nullptr) {
        m_detail->setTrayMissing(isTrayMissing);
    }
}

void SettingsWindowController::fitToPage()
{
    // Wrapped text is as tall as the width it gets, which is what the sidebar and the divider
    // leave; the window's width never changes, so the laid out page has it.
    m_window->layout()->activate();
    const int detailWidth = m_detail->width();
    int height = std::max(contentSize.height(), m_detail->neededHeight(detailWidth));
    if (const QScreen *screen = m_window->screen()) {
        // Room for the title bar; beyond that the page scrolls.
        height = std::min(height, screen->availableGeometry().height() - 48);
    }
    height = std::max(height, contentSize.height());
    if (height == m_window->height()) {
        return;
    }
    m_window->setFixedSize(contentSize.width(), height);
    // A window that grew past the bottom of the screen moves up.
    if (const QScreen *screen = m_window->screen(); screen != nullptr && m_window->isVisible()) {
        const QRect available = screen->availableGeometry();
        const int overflow = m_window->frameGeometry().bottom() - available.bottom();
        if (overflow > 0) {
            m_window->move(m_window->x(), std::max(available.top(), m_window->y() - overflow));
        }
    }
}

void SettingsWindowController::build()
{
    // Titled, closable and minimizable, but not resizable; closing only hides it.
    m_window = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    m_window->setObjectName(QStringLiteral("KeloLensSettings"));
    auto *layout = new QHBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_sidebar = new SettingsSidebar(m_router, m_window.get());
    auto *divider = new QFrame(m_window.get());
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    QPalette dividerPalette = divider->palette();
    QColor line = dividerPalette.color(QPalette::WindowText);
    line.setAlphaF(0.12);
    dividerPalette.setColor(QPalette::WindowText, line);
    divider->setPalette(dividerPalette);
    m_detail = new SettingsDetail(m_router, m_services, m_window.get());
    layout->addWidget(m_sidebar);
    layout->addWidget(divider);
    layout->addWidget(m_detail, 1);
    m_window->setFixedSize(contentSize);
    fitToPage();
    QObject::connect(m_detail, &SettingsDetail::pageShown, m_window.get(), [this] { fitToPage(); });
    MainMenu::install(*m_window, QStringLiteral("KeloLens"));

    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        QRect frame(QPoint(), m_window->size());
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }

    QPointer<QWidget> window = m_window.get();
    m_router.onChange = [window](SettingsPage page) {
        if (window) {
            window->setWindowTitle(SettingsPages::title(page));
        }
    };
}
