// SPDX-License-Identifier: GPL-3.0-or-later
// KWin 5.27 on its virtual back end with XWayland, xdg-desktop-portal-kde (with kglobalaccel,
// which KWin hosts) on the session bus, the real spectacle, kded5, waybar's tray, and input through
// KWin's fake-input protocol: a small client that KWin admits because its desktop entry asks for
// the interface.

#include "support/TestSupport.h"
#include "support/desktops/DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <vector>

namespace KeloTest {
namespace {

constexpr auto socketName = "kelo-kwin";

class KWinDesktop final : public DesktopSession
{
public:
    KWinDesktop(const QStringList &desktopEntries, int monitors)
        : DesktopSession(QStringLiteral("kwin"), QStringLiteral("KDE"))
    {
        if (!hasPrograms({"kwin_wayland", "spectacle", "kded5", "waybar", "wl-paste"})) {
            return;
        }
        m_environment.insert(QStringLiteral("KDE_FULL_SESSION"), QStringLiteral("true"));
        m_environment.insert(QStringLiteral("KDE_SESSION_VERSION"), QStringLiteral("5"));
        if (!allowFakeInput() || !installEntries(desktopEntries) ||
            !startBus({QStringLiteral("kde.portal")})) {
            return;
        }
        const QProcess *kwin = launch(QStringLiteral("kwin"), kwinBinary(),
                                      {QStringLiteral("--virtual"), QStringLiteral("--xwayland"),
                                       QStringLiteral("--socket"), QString::fromLatin1(socketName),
                                       QStringLiteral("--width"), QStringLiteral("1280"),
                                       QStringLiteral("--height"), QStringLiteral("720"),
                                       QStringLiteral("--output-count"), QString::number(monitors)},
                                      m_environment);
        // KDE's portal is a Qt 5 program: on Wayland, as on a Plasma session.
        if (!useDisplays(*kwin, runtimeFolder(), QString::fromLatin1(socketName),
                         {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland")}}) ||
            !startUserManager()) {
            return;
        }
        // kded5 brings the desktop's background services; waybar's tray stands in for the
        // panel's. kded5 comes second: it has a tray watcher of its own (plasma-workspace's),
        // which would leave waybar's tray without one.
        if (!startBar()) {
            return;
        }
        launch(QStringLiteral("kded5"), QStringLiteral("kded5"), {}, m_environment);
        if (startInput()) {
            setReady();
        }
    }

    // Without Plasma's shell there is no wallpaper, and text reading fails on small light
    // windows on a black screen (as it does on a white one): the bare background, black from
    // the screen's corner on, is made mid grey, as a plain wallpaper would be.
    QImage screenshot() override
    {
        QImage screen = screenshotWith(QStringLiteral("spectacle"),
                                       {QStringLiteral("-b"), QStringLiteral("-n"),
                                        QStringLiteral("-f"), QStringLiteral("-o")})
                            .convertToFormat(QImage::Format_RGB32);
        const QRgb black = qRgb(0, 0, 0);
        std::vector<QPoint> pending{QPoint(0, screen.height() - 1)};
        while (!pending.empty()) {
            const QPoint at = pending.back();
            pending.pop_back();
            if (!screen.rect().contains(at) || screen.pixel(at) != black) {
                continue;
            }
            screen.setPixel(at, qRgb(128, 128, 128));
            pending.insert(pending.end(), {at + QPoint(1, 0), at - QPoint(1, 0), at + QPoint(0, 1),
                                           at - QPoint(0, 1)});
        }
        return screen;
    }

private:
    // KWin admits a client to a restricted protocol when a desktop entry whose Exec names the
    // client's program asks for it.
    bool allowFakeInput()
    {
        const QString applications = homeFolder() + QStringLiteral("/.local/share/applications");
        QDir().mkpath(applications);
        QFile entry(applications + QStringLiteral("/kelo-test-input.desktop"));
        const QByteArray text = "[Desktop Entry]\nType=Application\nName=KeloLens test input\n"
                                "Exec=" KELO_TEST_BINARY_DIR "/tests/desktops/kelo-test-input"
                                "\nNoDisplay=true\n"
                                "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
        if (!entry.open(QIODevice::WriteOnly) || entry.write(text) != text.size()) {
            fail(QStringLiteral("cannot write the fake input client's desktop entry"));
            return false;
        }
        return true;
    }

    // The installed kwin_wayland carries a file capability (CAP_SYS_RESOURCE) that a container
    // refuses to grant, and then it cannot even be started. A copy carries none. KWin uses its
    // own Qt platform plugin only in a program named kwin_wayland, so the copy keeps the name.
    QString kwinBinary()
    {
        const QString installed = QStandardPaths::findExecutable(QStringLiteral("kwin_wayland"));
        QProcess probe;
        probe.start(installed, {QStringLiteral("--version")});
        if (probe.waitForFinished(10000) && probe.exitCode() == 0) {
            return installed;
        }
        const QString copy = folder() + QStringLiteral("/kwin/kwin_wayland");
        QDir().mkpath(folder() + QStringLiteral("/kwin"));
        QFile::copy(installed, copy);
        return copy;
    }
};

} // namespace

std::unique_ptr<DesktopSession> startKWin(const QStringList &desktopEntries, int monitors)
{
    return std::make_unique<KWinDesktop>(desktopEntries, monitors);
}

} // namespace KeloTest
