// The capture path of a Wayland session end to end, on a real compositor (headless sway) with
// Debian's real portal front end over the mock back ends: a second launch with --capture reaches
// the running instance, the desktop's screenshot is read, and the text is on the clipboard as
// another Wayland client reads it, with no window of ours anywhere.

#include "support/PortalBus.h"
#include "support/TestSupport.h"
#include "support/WaylandSession.h"
#include "support/X11Harness.h"

#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// A probe process whose output lines are collected while the event loop turns (it may be asked
// for the clipboard by wl-paste meanwhile, and this process never blocks on it).
class Probe
{
public:
    Probe(const QProcessEnvironment &environment, const QStringList &arguments)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine()) {
                m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
            }
        });
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(KeloTest::helperProgram(QStringLiteral("KeloLens/kelo-wayland-probe")),
                        arguments);
    }
    ~Probe()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    std::optional<QString> waitForLine(const QString &prefix, std::chrono::milliseconds timeout)
    {
        std::optional<QString> found;
        KeloTest::waitUntil(
            [&] {
                for (const QString &line : std::as_const(m_lines)) {
                    if (line.startsWith(prefix)) {
                        found = line.mid(prefix.size());
                        return true;
                    }
                }
                return m_process.state() == QProcess::NotRunning && !m_process.canReadLine();
            },
            timeout);
        return found;
    }
    [[nodiscard]] QStringList lines() const { return m_lines; }

private:
    QProcess m_process;
    QStringList m_lines;
};

} // namespace

TEST(CaptureOnCompositor, ASecondLaunchCapturesThroughThePortalOntoTheClipboard)
{
    KeloTest::WaylandSession sway;
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

    // GNOME's desktop name, so that the capture goes through the portal as it does there.
    QProcessEnvironment environment = sway.environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("KELOLENS_PLATFORM"));

    Probe running(environment, {});
    ASSERT_TRUE(running.waitForLine(QStringLiteral("ready"), 30s))
        << running.lines().join(u'\n').toStdString();
    EXPECT_EQ(running.waitForLine(QStringLiteral("backend "), 1s),
              QStringLiteral("portal qt wayland"));

    Probe second(environment, {QStringLiteral("--capture")});
    EXPECT_TRUE(second.waitForLine(QStringLiteral("handed over"), 10s))
        << second.lines().join(u'\n').toStdString();

    const auto copied = running.waitForLine(QStringLiteral("clipboard "), 60s);
    ASSERT_TRUE(copied) << running.lines().join(u'\n').toStdString();
    EXPECT_NE(*copied, QStringLiteral("failed"));
    const auto text = sway.clipboardText();
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->contains(QStringLiteral("Wayland capture works"))) << text->toStdString();
    EXPECT_EQ(bus.calls().filter(QStringLiteral("Screenshot interactive=true modal=true")).size(), 1)
        << bus.calls().join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(picture + QStringLiteral(".1.png")))
        << "the desktop's file made for the capture is gone";
    EXPECT_TRUE(QFileInfo::exists(picture));
}
