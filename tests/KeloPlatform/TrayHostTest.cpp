// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/StatusNotifierTrayHost.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A panel's StatusNotifierWatcher with a host registered, as KDE Plasma or waybar run one.
class FakeWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

public:
    [[nodiscard]] bool isHostRegistered() const { return true; }
};

} // namespace

TEST(StatusNotifierTrayHost, FollowsTheWatcherComingAndGoing)
{
    // A session bus of the test's own: the panel comes and goes on it.
    QTemporaryDir dir;
    const QString address = QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("bus"));
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address"), QStringLiteral("--address=") + address});
    ASSERT_TRUE(daemon.waitForReadyRead(10000)) << "dbus-daemon did not start";
    const QDBusConnection app = QDBusConnection::connectToBus(address, QStringLiteral("app"));
    ASSERT_TRUE(app.isConnected());
    KeloPlatform::StatusNotifierTrayHost host(app);
    std::vector<bool> changes;
    host.onAvailabilityChanged = [&](bool isAvailable) { changes.push_back(isAvailable); };
    EXPECT_FALSE(host.isAvailable()) << "no panel yet";

    // The panel starts after the application.
    QDBusConnection panel = QDBusConnection::connectToBus(address, QStringLiteral("panel"));
    FakeWatcher watcher;
    ASSERT_TRUE(panel.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                     QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(panel.registerService(
        QString::fromLatin1(KeloPlatform::StatusNotifierTrayHost::watcherService)));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return host.isAvailable(); }));

    panel.unregisterService(
        QString::fromLatin1(KeloPlatform::StatusNotifierTrayHost::watcherService));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !host.isAvailable(); }));
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
    QDBusConnection::disconnectFromBus(QStringLiteral("app"));
    daemon.terminate();
    daemon.waitForFinished();
}

#include "TrayHostTest.moc"
