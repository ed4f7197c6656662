// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/PackageKitInstaller.h"

#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using KeloPlatform::PackageInstall;
using KeloPlatform::PackageInstallProgress;

namespace {

// A private system bus (DBUS_SYSTEM_BUS_ADDRESS points at it, as it would at the real one) and,
// once started, the mock PackageKit daemon on it, installing into a folder of its own.
class PackageKitInstallerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString root = m_dir.path();
        QFile config(root + QStringLiteral("/bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                     "<busconfig><type>system</type><listen>unix:dir=" +
                     root.toUtf8() +
                     "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                     "<allow own=\"*\"/><allow send_type=\"method_call\"/>"
                     "<allow send_type=\"method_return\"/><allow send_type=\"error\"/>"
                     "<allow send_type=\"signal\"/><allow receive_type=\"method_call\"/>"
                     "<allow receive_type=\"method_return\"/><allow receive_type=\"error\"/>"
                     "<allow receive_type=\"signal\"/></policy></busconfig>\n");
        config.close();
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--config-file=") + config.fileName(),
                     QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_bus.waitForStarted() || !m_bus.waitForReadyRead(5000)) {
            GTEST_SKIP() << "dbus-daemon did not start (apt install dbus-daemon)";
        }
        const QByteArray address = m_bus.readLine().trimmed();
        m_address =
            std::make_unique<KeloTest::ScopedEnvironment>("DBUS_SYSTEM_BUS_ADDRESS", address);
        ASSERT_TRUE(QDBusConnection::systemBus().isConnected());
        ASSERT_TRUE(QDir().mkpath(dataDir()));
    }

    void TearDown() override
    {
        for (QProcess *process : {&m_daemon, &m_bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                process->waitForFinished(3000);
            }
        }
    }

    void startDaemon()
    {
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start(KeloTest::helperProgram(QStringLiteral("KeloPlatform/kelo-mock-packagekit")),
                       {dataDir()});
        ASSERT_TRUE(m_daemon.waitForReadyRead(5000));
        ASSERT_TRUE(m_daemon.readLine().startsWith("ready"));
    }

    QDBusMessage callMock(const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PackageKit"),
                                           QStringLiteral("/app/kelolens/MockPackageKit"),
                                           QStringLiteral("app.kelolens.MockPackageKit"), method);
        message.setArguments(arguments);
        return QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
    }

    QStringList calls()
    {
        return callMock(QStringLiteral("Calls")).arguments().value(0).toStringList();
    }

    PackageInstall install(KeloPlatform::PackageInstaller &installer, const QStringList &names)
    {
        return QCoro::waitFor(installer.install(
            names, [this](const PackageInstallProgress &progress) { progressSeen << progress; }));
    }

    QString dataDir() const { return m_dir.filePath(QStringLiteral("tessdata")); }

    QList<PackageInstallProgress> progressSeen;

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_daemon;
    std::unique_ptr<KeloTest::ScopedEnvironment> m_address;
};

} // namespace

TEST_F(PackageKitInstallerTest, InstallsByNameWithProgressAndTheDesktopsPermissionPrompt)
{
    startDaemon();
    KeloPlatform::PackageKitInstaller installer(QDBusConnection::systemBus());
    ASSERT_TRUE(installer.isAvailable());

    EXPECT_EQ(install(installer, {QStringLiteral("tesseract-ocr-rus")}).status,
              PackageInstall::Status::installed);
    EXPECT_TRUE(QFile::exists(dataDir() + QStringLiteral("/rus.traineddata")));
    const QStringList sent = calls();
    EXPECT_TRUE(sent.contains(QStringLiteral("Resolve 2 tesseract-ocr-rus")));
    // Interactive, so that polkit may ask; trusted packages only.
    EXPECT_TRUE(sent.filter(QStringLiteral("SetHints interactive=true")).size() == 2);
    EXPECT_TRUE(
        sent.contains(QStringLiteral("InstallPackages 2 tesseract-ocr-rus;1:4.1.0-2;all;debian")));
    ASSERT_FALSE(progressSeen.isEmpty());
    EXPECT_EQ(progressSeen.first(),
              (PackageInstallProgress{-1, QStringLiteral("Waiting for permission…")}));
    EXPECT_EQ(progressSeen.last(), (PackageInstallProgress{100, QStringLiteral("Installing…")}));
    // What the daemon counts while it prepares is not the installation's progress.
    EXPECT_TRUE(progressSeen.contains(PackageInstallProgress{-1, QStringLiteral("Preparing…")}));
    EXPECT_TRUE(std::is_sorted(progressSeen.begin(), progressSeen.end(),
                               [](const auto &a, const auto &b) { return a.percent < b.percent; }));

    // Installed already: nothing more to install, and no second prompt.
    EXPECT_EQ(install(installer, {QStringLiteral("tesseract-ocr-rus")}).status,
              PackageInstall::Status::installed);
    EXPECT_EQ(calls().filter(QStringLiteral("InstallPackages")).size(), 1);
}

TEST_F(PackageKitInstallerTest, SaysWhyAnInstallationEndedWithoutThePackage)
{
    startDaemon();
    KeloPlatform::PackageKitInstaller installer(QDBusConnection::systemBus());

    callMock(QStringLiteral("SetAnswer"), {QStringLiteral("deny")});
    EXPECT_EQ(install(installer, {QStringLiteral("tesseract-ocr-ell")}),
              (PackageInstall{PackageInstall::Status::cancelled,
                              QStringLiteral("The installation wasn't authorized.")}));

    callMock(QStringLiteral("SetAnswer"), {QStringLiteral("fail")});
    const PackageInstall failed = install(installer, {QStringLiteral("tesseract-ocr-ell")});
    EXPECT_EQ(failed.status, PackageInstall::Status::failed);
    EXPECT_TRUE(failed.message.contains(QStringLiteral("Failed to download")))
        << failed.message.toStdString();

    const PackageInstall unknown = install(installer, {QStringLiteral("no-such-package")});
    EXPECT_EQ(unknown.status, PackageInstall::Status::failed);
    EXPECT_TRUE(unknown.message.contains(QStringLiteral("isn't available")))
        << unknown.message.toStdString();
    EXPECT_FALSE(QFile::exists(dataDir() + QStringLiteral("/ell.traineddata")));

    // The daemon leaving mid-way ends the wait instead of hanging it.
    callMock(QStringLiteral("SetAnswer"), {QStringLiteral("vanish")});
    EXPECT_EQ(install(installer, {QStringLiteral("tesseract-ocr-ell")}).status,
              PackageInstall::Status::failed);
}

TEST_F(PackageKitInstallerTest, IsUnavailableWithoutPackageKitOnTheBus)
{
    KeloPlatform::PackageKitInstaller installer(QDBusConnection::systemBus());
    EXPECT_FALSE(installer.isAvailable());
    EXPECT_EQ(install(installer, {QStringLiteral("tesseract-ocr-rus")}).status,
              PackageInstall::Status::failed);
}
