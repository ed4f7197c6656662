// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace KeloTest {

// A private D-Bus session bus with Debian's real xdg-desktop-portal front end (started on demand
// by the bus) over the scripted back ends of kelo-mock-portal, and the real permission store.
// Nothing of the user's session is touched. Tests skip when isReady() is false and say why.
class PortalBus
{
public:
    PortalBus();
    ~PortalBus();
    PortalBus(const PortalBus &) = delete;
    PortalBus &operator=(const PortalBus &) = delete;

    [[nodiscard]] bool isReady() const { return m_bus.has_value(); }
    // Why the bus is not ready.
    [[nodiscard]] const QString &problem() const { return m_problem; }

    [[nodiscard]] QString address() const { return m_address; }
    // A connection of this test process to the bus.
    [[nodiscard]] QDBusConnection connection() const { return *m_bus; }
    // The environment for a child process that should use this bus.
    [[nodiscard]] QProcessEnvironment environment() const;

    // The mock back ends' script and log (see MockPortal.cpp).
    void setAnswer(const QString &method, const QString &answer);
    // The file a successful screenshot hands back: that file itself, or (fresh) a copy the back
    // end makes when the screenshot is taken, as desktops do.
    void setScreenshotFile(const QString &path, bool isFresh);
    [[nodiscard]] QStringList calls() const;
    void activate(const QString &shortcut);
    void closeSessions();
    // Stores a screenshot permission for the application ids in the real permission store.
    bool storeScreenshotPermission(const QString &appId, const QString &permission);

private:
    QDBusMessage callMock(const QString &method, const QVariantList &arguments) const;

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QProcess m_mock;
    QString m_address;
    QString m_connectionName;
    std::optional<QDBusConnection> m_bus;
    QString m_problem;
};

} // namespace KeloTest
