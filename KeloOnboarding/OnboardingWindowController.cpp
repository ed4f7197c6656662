// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloOnboarding/OnboardingWindowController.h"

#include "KeloMenuBar/MainMenu.h"
#include "KeloOnboarding/OnboardingView.h"
#include "KeloTheme/GlassSurface.h"
#include "KeloTheme/WindowFront.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

OnboardingWindowController::OnboardingWindowController(QString title, QSize size,
                                                       std::function<void()> onFinish,
                                                       QObject *parent)
    : QObject(parent), m_title(std::move(title)), m_size(size), m_onFinish(std::move(onFinish))
{
}

OnboardingWindowController::~OnboardingWindowController()
{
    // The owner may drop this controller from inside the window's own close; the window goes
    // once that is over.
    if (m_window) {
        m_window->removeEventFilter(this);
        m_window->hide();
        m_window->deleteLater();
    }
}

void OnboardingWindowController::show(const QList<OnboardingStep> &steps, int startIndex,
                                      const QString &finishTitle)
{
    const bool isNew = !m_window;
    if (isNew) {
        // Titled and closable; neither resizable nor minimizable.
        m_window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint);
        m_window->setWindowTitle(m_title);
        m_window->setFixedSize(m_size);
        m_window->installEventFilter(this);
        // Ctrl+W closes it like the close button, ending onboarding; Ctrl+Q quits.
        MainMenu::install(*m_window, QStringLiteral("KeloLens"));
    }
    QPointer<QWidget> window = m_window;
    auto *view = new OnboardingView(steps, startIndex, finishTitle, [window] {
        if (window) {
            window->close();
        }
    });
    view->setFixedSize(m_size);
    // The view being replaced is deleted later; its Return shortcut must not fire meanwhile.
    if (m_view) {
        m_view->hide();
    }
    m_view = view;
    GlassSurface::configure(m_window, view, m_size);
    if (isNew) {
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), m_size);
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    bringWindowToFront(*m_window);
}

bool OnboardingWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        // This controller may be gone once end() returns.
        end();
        return false;
    }
    return QObject::eventFilter(watched, event);
}

void OnboardingWindowController::end()
{
    if (m_isFinished) {
        return;
    }
    m_isFinished = true;
    QWidget *window = m_window;
    m_window.clear();
    window->removeEventFilter(this);
    // Deleted later: the window is in the middle of closing.
    window->deleteLater();
    // Last: the owner may drop this controller here.
    if (m_onFinish) {
        m_onFinish();
    }
}
