// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"

#include "KeloLens/Capture/CaptureToolRun.h"

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcCapture, "kelolens.capture")

const QString startFailurePrefix = QStringLiteral("Couldn't start screencapture: ");

// Why the tool left no file, when that is worth a line in the log: an exit status of 0, or one
// the tool uses for a cancelled selection, is the user's choice.
void logEndWithoutFile(const CaptureTool &tool, const CaptureToolRun &run)
{
    if (run.toolEnd() == CaptureToolRun::ToolEnd::crashed) {
        qCWarning(lcCapture).noquote()
            << QStringLiteral("KeloLens: screencapture was killed by signal %1 and left no file")
                   .arg(run.exitCode());
    } else if (run.exitCode() != 0 && !tool.cancelStatuses.contains(run.exitCode())) {
        qCWarning(lcCapture).noquote()
            << QStringLiteral("KeloLens: screencapture exited with status %1 and no file")
                   .arg(run.exitCode());
    }
}

QList<ScreenGeometry> currentScreens()
{
    QList<ScreenGeometry> screens;
    for (const QScreen *screen : QGuiApplication::screens()) {
        screens.append({screen->geometry(), screen->devicePixelRatio()});
    }
    return screens;
}

} // namespace

QStringList CaptureTool::argumentsFor(const QString &path) const
{
    QStringList result = arguments;
    for (QString &argument : result) {
        if (argument == QLatin1String(pathPlaceholder)) {
            argument = path;
        }
    }
    return result;
}

ScreencaptureCLICapturer::ScreencaptureCLICapturer(std::optional<CaptureTool> tool,
                                                   QString directory,
                                                   std::chrono::milliseconds timeout,
                                                   ToolToInstall install)
    : m_tool(std::move(tool)), m_directory(std::move(directory)), m_timeout(timeout),
      m_install(std::move(install))
{
}

ScreencaptureCLICapturer::~ScreencaptureCLICapturer()
{
    cancel();
}

void ScreencaptureCLICapturer::cancel()
{
    if (const std::shared_ptr<CaptureToolRun> run = m_running.lock()) {
        run->cancel();
    }
}

int ScreencaptureCLICapturer::removeLeftovers()
{
    return CaptureFiles::removeLeftovers(m_directory);
}

QList<CaptureTool> ScreencaptureCLICapturer::candidateTools(const QString &currentDesktop,
                                                            const QString &sessionType)
{
    const QString path = QString::fromLatin1(CaptureTool::pathPlaceholder);
    const QStringList desktops = currentDesktop.toUpper().split(u':', Qt::SkipEmptyParts);
    const bool isKde = desktops.contains(QStringLiteral("KDE"));
    const bool isGnome = desktops.contains(QStringLiteral("GNOME"));
    QList<CaptureTool> tools;
    if (isKde) {
        tools.append({QStringLiteral("spectacle"),
                      {QStringLiteral("-i"), QStringLiteral("-b"), QStringLiteral("-n"),
                       QStringLiteral("-r"), QStringLiteral("-o"), path},
                      {},
                      {}});
    }
    if (sessionType.toLower() == u"wayland") {
        // slurp and grim need the wlroots protocols (layer shell, screencopy), which GNOME and
        // KDE do not offer; GNOME lets only its screenshot portal select a region. The path is
        // the shell's first argument, never part of the script. slurp reports a cancelled
        // selection on its error output, which is no error of the capture.
        if (!isKde && !isGnome) {
            tools.append(
                {QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral(
                      "region=$(slurp 2>/dev/null) || exit 0; exec grim -g \"$region\" \"$1\""),
                  QStringLiteral("kelolens-capture"), path},
                 {},
                 {QStringLiteral("slurp"), QStringLiteral("grim")}});
        }
        for (CaptureTool &tool : tools) {
            tool.isPointerAtSelection = false;
        }
        return tools;
    }
    // gnome-screenshot's area selection only works on X11; under Wayland it needs the portal.
    if (isGnome && sessionType.toLower() == u"x11") {
        tools.append({QStringLiteral("gnome-screenshot"),
                      {QStringLiteral("-a"), QStringLiteral("-f"), path},
                      {},
                      {}});
    }
    // maim exits with 1 when the user cancels the selection.
    tools.append({QStringLiteral("maim"), {QStringLiteral("-s"), path}, {1}, {}});
    tools.append(
        {QStringLiteral("scrot"), {QStringLiteral("-s"), QStringLiteral("-o"), path}, {}, {}});
    tools.append({QStringLiteral("xfce4-screenshooter"),
                  {QStringLiteral("-r"), QStringLiteral("-s"), path},
                  {},
                  {}});
    return tools;
}

std::optional<CaptureTool>
ScreencaptureCLICapturer::chooseTool(const QProcessEnvironment &environment,
                                     const std::function<QString(const QString &)> &findExecutable)
{
    const auto find = findExecutable ? findExecutable : [](const QString &name) {
        return QStandardPaths::findExecutable(name);
    };
    // A Wayland display is a Wayland session even where the session type is not set.
    QString sessionType = environment.value(QStringLiteral("XDG_SESSION_TYPE"));
    if (!environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) {
        sessionType = QStringLiteral("wayland");
    }
    const QList<CaptureTool> candidates =
        candidateTools(environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")), sessionType);
    for (CaptureTool tool : candidates) {
        const QString resolved = find(tool.program);
        const bool hasAll =
            std::all_of(tool.requiredPrograms.cbegin(), tool.requiredPrograms.cend(),
                        [&](const QString &program) { return !find(program).isEmpty(); });
        if (!resolved.isEmpty() && hasAll) {
            tool.program = resolved;
            return tool;
        }
    }
    return std::nullopt;
}

ToolToInstall ScreencaptureCLICapturer::toolToInstall(const QProcessEnvironment &environment)
{
    const bool isWayland =
        !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
        environment.value(QStringLiteral("XDG_SESSION_TYPE")).toLower() == u"wayland";
    if (!isWayland) {
        // maim works under every X11 window manager.
        return {QStringLiteral("maim"), QStringLiteral("sudo apt install maim")};
    }
    const QStringList desktops = environment.value(QStringLiteral("XDG_CURRENT_DESKTOP"))
                                     .toUpper()
                                     .split(u':', Qt::SkipEmptyParts);
    if (desktops.contains(QStringLiteral("KDE"))) {
        return {QStringLiteral("Spectacle"), QStringLiteral("sudo apt install kde-spectacle")};
    }
    return {QStringLiteral("grim and slurp"), QStringLiteral("sudo apt install grim slurp")};
}

QString ScreencaptureCLICapturer::missingToolCommand() const
{
    return m_tool ? QString() : m_install.command;
}

QString ScreencaptureCLICapturer::toolErrorMessage(const CaptureTool &tool)
{
    return QStringLiteral("The capture couldn't be taken: the screenshot tool (%1) reported an "
                          "error.")
        .arg(QFileInfo(tool.program).fileName());
}

QString ScreencaptureCLICapturer::stoppedRespondingMessage(const CaptureTool &tool)
{
    return QStringLiteral("The screenshot tool (%1) stopped responding and was closed.")
        .arg(QFileInfo(tool.program).fileName());
}

ExactRect ScreencaptureCLICapturer::estimatedRegion(QSize pixelSize, QPoint pointer,
                                                    const QList<ScreenGeometry> &screens)
{
    double scale = 2.0;
    for (const ScreenGeometry &screen : screens) {
        if (screen.geometry.contains(pointer)) {
            scale = screen.devicePixelRatio > 0 ? screen.devicePixelRatio : 1.0;
            break;
        }
    }
    const double width = double(pixelSize.width()) / scale;
    const double height = double(pixelSize.height()) / scale;
    return {double(pointer.x()) - width, double(pointer.y()) - height, width, height};
}

QCoro::Task<CaptureOutcome> ScreencaptureCLICapturer::capture()
{
    if (std::optional<CaptureFailed> failure = CaptureFiles::ensurePrivateFolder(m_directory)) {
        co_return *failure;
    }
    const QString path = CaptureFiles::newCapturePath(m_directory);
    const CaptureFiles::Remover remover(path);

    if (!m_tool) {
        // A toast has room for the name only; the log has the whole command.
        qCWarning(lcCapture).noquote()
            << QStringLiteral(
                   "KeloLens: no region screenshot tool is installed; install one with: %1")
                   .arg(m_install.command);
        co_return CaptureFailed{QStringLiteral("Install %1 to capture").arg(m_install.name)};
    }

    // Only copies are used from here on: cancel() and the destructor resume this coroutine, and it
    // finishes after the capturer may be gone.
    const CaptureTool tool = *m_tool;
    const auto timeout = m_timeout;
    const auto run =
        std::make_shared<CaptureToolRun>(tool.program, tool.argumentsFor(path), timeout);
    m_running = run;

    co_await run->toolEnded();
    if (run->isCancelled() || !run->toolEnd()) {
        co_return CaptureCancelled{};
    }
    switch (*run->toolEnd()) {
    case CaptureToolRun::ToolEnd::failedToStart:
        co_return CaptureFailed{startFailurePrefix + run->errorString()};
    case CaptureToolRun::ToolEnd::timedOut:
        qCWarning(lcCapture).noquote()
            << QStringLiteral("KeloLens: the region tool %1 ran for %2 s without ending and was "
                              "stopped")
                   .arg(tool.program)
                   .arg(double(timeout.count()) / 1000.0);
        co_return CaptureFailed{stoppedRespondingMessage(tool)};
    case CaptureToolRun::ToolEnd::exited:
    case CaptureToolRun::ToolEnd::crashed:
        break;
    }

    if (!QFileInfo::exists(path)) {
        // A tool that ends by itself, leaving no file but an error message, failed; one that
        // leaves nothing said, ends with the status it keeps for a cancelled drag, or was killed,
        // did not capture (what it printed then is chatter: maim warns about OpenGL).
        const QString said = run->errorOutput();
        const bool isCancelStatus = run->toolEnd() != CaptureToolRun::ToolEnd::exited ||
                                    tool.cancelStatuses.contains(run->exitCode());
        if (!said.isEmpty() && !isCancelStatus) {
            qCWarning(lcCapture).noquote()
                << QStringLiteral(
                       "KeloLens: the region tool %1 left no file (status %2) and said: %3")
                       .arg(tool.program)
                       .arg(run->exitCode())
                       .arg(said.simplified());
            co_return CaptureFailed{toolErrorMessage(tool)};
        }
        logEndWithoutFile(tool, *run);
        co_return CaptureCancelled{};
    }

    // Decoding a full-screen PNG takes long enough to be felt; keep the event loop turning. A
    // tool gone wrong could write anything, of any size.
    co_await run->decoded(QtConcurrent::run(&ImageReading::read, path));
    if (run->isCancelled()) {
        co_return CaptureCancelled{};
    }
    const ImageReading::Outcome read = run->reading();
    if (std::optional<CaptureFailed> failure = CaptureFiles::readFailure(read)) {
        co_return *failure;
    }
    // Where the selection is unknown the panel takes its fixed place.
    std::optional<ExactRect> region;
    if (tool.isPointerAtSelection) {
        region = estimatedRegion(read.image.size(), QCursor::pos(), currentScreens());
    }
    co_return CapturedImage{read.image, region};
}
