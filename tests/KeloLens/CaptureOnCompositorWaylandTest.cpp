// SPDX-License-Identifier: GPL-3.0-or-later
// The application on a real compositor (headless sway, with and without XWayland) with Debian's
// real portal front end over the mock back ends: it starts with the portal set, a second launch
// with
// --capture reaches the running instance, the desktop's screenshot is read, and the text is on
// the clipboard as another Wayland client reads it, with the panel off.

#include "KeloLens/Settings/Preferences.h"
#include "support/PortalBus.h"
#include "support/TestSupport.h"
#include "support/WaylandSession.h"

#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QString kelolens()
{
    return QStringLiteral(KELO_TEST_BINARY_DIR "/app/kelolens");
}

// The running application, its output collected while the event loop turns (wl-paste may ask it
// for the clipboard meanwhile, and this process never blocks on it).
class RunningApp
{
public:
    explicit RunningApp(const QProcessEnvironment &environment)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_log += QString::fromUtf8(m_process.readAllStandardOutput()); });
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(kelolens(), {});
    }
    ~RunningApp()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool waitFor(const QString &text, std::chrono::milliseconds timeout)
    {
        return KeloTest::waitUntil(
                   [&] {
                       return m_log.contains(text) || m_process.state() == QProcess::NotRunning;
                   },
                   timeout) &&
               m_log.contains(text);
    }
    [[nodiscard]] bool isRunning() const { return m_process.state() == QProcess::Running; }
    [[nodiscard]] const QString &log() const { return m_log; }

private:
    QProcess m_process;
    QString m_log;
};

// A user who finished onboarding and turned the panel off (no window of ours has the focus when
// the text is copied), on GNOME as far as the desktop name goes, so that the capture goes through
// the portal as it does there.
QProcessEnvironment appEnvironment(const KeloTest::WaylandSession &sway,
                                   const KeloTest::PortalBus &bus, const QTemporaryDir &dir)
{
    const QString config = dir.filePath(QStringLiteral("config"));
    {
        QSettings settings(config + QStringLiteral("/KeloLens/KeloLens.conf"),
                           QSettings::IniFormat);
        Preferences prefs(&settings);
        prefs.setHasCompletedOnboarding(true);
        prefs.setShowPanel(false);
        prefs.setPlaySound(false);
        // The desktop's own tool (here the portal): headless sway would let KeloLens read it.
        prefs.setSelectWith(SelectionMethod::desktopTool);
    }
    QProcessEnvironment environment = sway.environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("kelolens.app.debug=true;kelolens.platform.info=true"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("KELOLENS_PLATFORM"));
    return environment;
}

void captureThroughASecondLaunch(bool withXWayland, const QString &qtPlatform)
{
    KeloTest::WaylandSession sway(withXWayland);
    if (!sway.isReady()) {
        GTEST_SKIP() << sway.problem().toStdString();
    }
    KeloTest::PortalBus bus;
    if (!bus.isReady()) {
        GTEST_SKIP() << bus.problem().toStdString();
    }

    QTemporaryDir dir;
    QImage screen(900, 160, QImage::Format_RGB32);
    screen.fill(Qt::white);
    {
        QPainter painter(&screen);
        painter.setPen(Qt::black);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 36));
        painter.drawText(screen.rect(), Qt::AlignCenter, QStringLiteral("Wayland capture works"));
    }
    const QString picture = dir.filePath(QStringLiteral("desktop.png"));
    ASSERT_TRUE(screen.save(picture));
    bus.setScreenshotFile(picture, true);

    const QProcessEnvironment environment = appEnvironment(sway, bus, dir);
    RunningApp app(environment);
    ASSERT_TRUE(app.waitFor(QStringLiteral("KeloLens: launched"), 30s)) << app.log().toStdString();
    EXPECT_TRUE(app.log().contains(QStringLiteral("platform backend portal")) &&
                app.log().contains(QStringLiteral("Qt platform ") + qtPlatform))
        << app.log().toStdString();

    QProcess second;
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(kelolens(), {QStringLiteral("--capture")});
    ASSERT_TRUE(KeloTest::waitUntil([&] { return second.state() == QProcess::NotRunning; }, 10s));
    EXPECT_EQ(second.exitCode(), 0) << "the request went to the running instance";

    std::optional<QString> text;
    KeloTest::waitUntil(
        [&] {
            text = sway.clipboardText(1s);
            return text && text->contains(QStringLiteral("Wayland"));
        },
        60s);
    ASSERT_TRUE(text) << app.log().toStdString();
    EXPECT_TRUE(text->contains(QStringLiteral("Wayland capture works"))) << text->toStdString();
    EXPECT_TRUE(app.isRunning());
    const QStringList calls = bus.calls();
    EXPECT_EQ(calls.filter(QStringLiteral("Screenshot interactive=true modal=true")).size(), 1)
        << calls.join(u'\n').toStdString();
    // The shortcut was asked of the desktop's portal, not grabbed.
    EXPECT_EQ(calls.filter(QStringLiteral("GlobalShortcuts.BindShortcuts")).size(), 1)
        << calls.join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(picture + QStringLiteral(".1.png")))
        << "the desktop's file made for the capture is gone";
    EXPECT_TRUE(QFileInfo::exists(picture));
}

} // namespace

TEST(CaptureOnCompositor, ASecondLaunchCapturesThroughThePortalOntoTheClipboard)
{
    captureThroughASecondLaunch(false, QStringLiteral("wayland"));
}

// With XWayland the interface runs on X11; the clipboard is still set for Wayland clients.
TEST(CaptureOnCompositor, UnderXWaylandTheTextStillReachesWaylandClients)
{
    captureThroughASecondLaunch(true, QStringLiteral("xcb"));
}

TEST(CaptureOnCompositor, AShortcutTheDesktopRefusesIsReportedLikeATakenOne)
{
    KeloTest::WaylandSession sway;
    if (!sway.isReady()) {
        GTEST_SKIP() << sway.problem().toStdString();
    }
    KeloTest::PortalBus bus;
    if (!bus.isReady()) {
        GTEST_SKIP() << bus.problem().toStdString();
    }
    bus.setAnswer(QStringLiteral("BindShortcuts"), QStringLiteral("cancel"));
    QTemporaryDir dir;
    RunningApp app(appEnvironment(sway, bus, dir));
    EXPECT_TRUE(app.waitFor(QStringLiteral("KeloLens: could not register hotkey"), 30s))
        << app.log().toStdString();
    EXPECT_TRUE(app.isRunning()) << "the menu and kelolens --capture still capture";
}
