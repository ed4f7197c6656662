// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <chrono>

namespace KeloTest {

// A headless sway compositor of the test's own (wlroots' headless back end, no input devices,
// software rendering), with its runtime folder and Wayland socket. sway refuses to run as root,
// so under root it runs as the unprivileged user "nobody"; this process, being root, may still
// connect to it. Tests skip when isReady() is false and say why.
class WaylandSession
{
public:
    // With XWayland, X11 clients (DISPLAY in environment()) run on the compositor too.
    explicit WaylandSession(bool withXWayland = false);
    ~WaylandSession();
    WaylandSession(const WaylandSession &) = delete;
    WaylandSession &operator=(const WaylandSession &) = delete;

    [[nodiscard]] bool isReady() const { return !m_display.isEmpty(); }
    [[nodiscard]] const QString &problem() const { return m_problem; }

    // The socket name (WAYLAND_DISPLAY) and the runtime folder it lives in.
    [[nodiscard]] const QString &display() const { return m_display; }
    [[nodiscard]] QString runtimeFolder() const;
    // The environment for a child process that should run on this compositor.
    [[nodiscard]] QProcessEnvironment environment() const;

    // The clipboard's text as another Wayland client reads it (wl-paste), absent when the
    // clipboard is empty or holds no text.
    [[nodiscard]] std::optional<QString>
    clipboardText(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Runs a sway command through its IPC socket; its output.
    QString swaymsg(const QStringList &arguments) const;

    // Plugs a (virtual) keyboard into the seat, so that windows can get the keyboard focus.
    bool addKeyboard();

private:
    QTemporaryDir m_dir;
    QProcess m_sway;
    QProcess m_keyboard;
    QString m_display;
    QString m_xDisplay;
    QString m_problem;
};

} // namespace KeloTest
