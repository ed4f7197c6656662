// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/wayland/GrimScreenReader.h"

#include "KeloPlatform/ChildProcess.h"

#include <QCoro/QCoroProcess>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <chrono>
#include <cstring>
#include <optional>
#include <vector>
#include <wayland-client.h>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcGrim, "kelolens.platform.screen")

using namespace std::chrono_literals;

// A monitor is read in well under a second; one that takes this long will not answer.
constexpr auto grimTimeout = 10s;

// Whether the compositor announces the screencopy protocol, asked once over a connection of our
// own: grim needs it, and without it the desktop's tool must select.
bool offersScreencopy(const QString &display)
{
    const QByteArray name = display.toLocal8Bit();
    wl_display *connection = wl_display_connect(name.isEmpty() ? nullptr : name.constData());
    if (connection == nullptr) {
        return false;
    }
    bool isOffered = false;
    const wl_registry_listener listener{
        [](void *data, wl_registry *, uint32_t, const char *interface, uint32_t) {
            if (std::strcmp(interface, "zwlr_screencopy_manager_v1") == 0) {
                *static_cast<bool *>(data) = true;
            }
        },
        [](void *, wl_registry *, uint32_t) {}};
    wl_registry *registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &listener, &isOffered);
    wl_display_roundtrip(connection);
    wl_registry_destroy(registry);
    wl_display_disconnect(connection);
    return isOffered;
}

class GrimScreenReader final : public ScreenReader
{
public:
    explicit GrimScreenReader(const QProcessEnvironment &environment)
        : m_display(environment.value(QStringLiteral("WAYLAND_DISPLAY")))
    {
    }

    [[nodiscard]] bool canRead() const override
    {
        m_grim = QStandardPaths::findExecutable(QStringLiteral("grim"));
        if (!m_hasScreencopy) {
            m_hasScreencopy = !m_display.isEmpty() && offersScreencopy(m_display);
        }
        return !m_grim.isEmpty() && *m_hasScreencopy;
    }

    QCoro::Task<ScreenContents> read() override
    {
        if (!canRead()) {
            co_return ScreenContents{
                {},
                screenReadFailure(QStringLiteral("grim is not installed or the compositor "
                                                 "does not let it read the screen."))};
        }
        // Names and places as they are now: a monitor may go while grim runs.
        QList<MonitorImage> screens;
        for (const QScreen *screen : QGuiApplication::screens()) {
            screens.append({screen->name(), screen->geometry(), {}});
        }
        if (screens.isEmpty()) {
            co_return ScreenContents{{},
                                     screenReadFailure(QStringLiteral("no monitor is connected."))};
        }
        // Every monitor at once, as one moment, each by where it is: under XWayland Qt knows the
        // monitors by XWayland's names (XWAYLAND0...), not the compositor's, but in the
        // compositor's layout coordinates. grim reads a region at its monitor's own scale. A
        // single monitor is read whole.
        std::vector<std::unique_ptr<QProcess>> runs;
        for (const MonitorImage &screen : screens) {
            auto grim = std::make_unique<QProcess>();
            ChildProcess::confine(*grim);
            QStringList arguments{QStringLiteral("-t"), QStringLiteral("ppm")};
            if (screens.size() > 1) {
                const QRect &area = screen.geometry;
                arguments << QStringLiteral("-g")
                          << QStringLiteral("%1,%2 %3x%4")
                                 .arg(area.x())
                                 .arg(area.y())
                                 .arg(area.width())
                                 .arg(area.height());
            }
            arguments << QStringLiteral("-");
            grim->start(m_grim, arguments, QIODevice::ReadOnly);
            runs.push_back(std::move(grim));
        }
        QString failure;
        for (std::size_t index = 0; index < runs.size(); ++index) {
            QProcess &grim = *runs[index];
            // One that ended while an earlier one was awaited is not waited for (and says so).
            const bool hasEnded = grim.state() == QProcess::NotRunning ||
                                  co_await qCoro(grim).waitForFinished(grimTimeout) ||
                                  grim.state() == QProcess::NotRunning;
            const QImage image =
                hasEnded && grim.exitStatus() == QProcess::NormalExit && grim.exitCode() == 0
                    ? QImage::fromData(grim.readAllStandardOutput(), "PPM")
                    : QImage();
            MonitorImage &screen = screens[qsizetype(index)];
            if (image.isNull()) {
                if (!hasEnded) {
                    ChildProcess::stop(grim, 1s);
                }
                qCWarning(lcGrim).noquote()
                    << QStringLiteral("KeloLens: grim could not read monitor %1: %2")
                           .arg(screen.name,
                                hasEnded ? QString::fromLocal8Bit(grim.readAllStandardError())
                                               .simplified()
                                         : QStringLiteral("no answer"));
                failure = screenReadFailure(QStringLiteral("grim failed."));
            }
            screen.image = image;
        }
        if (!failure.isEmpty()) {
            co_return ScreenContents{{}, failure};
        }
        co_return ScreenContents{screens, {}};
    }

private:
    QString m_display;
    mutable QString m_grim;
    mutable std::optional<bool> m_hasScreencopy;
};

} // namespace

std::unique_ptr<ScreenReader> createGrimScreenReader(const QProcessEnvironment &environment)
{
    return std::make_unique<GrimScreenReader>(environment);
}

} // namespace KeloPlatform
