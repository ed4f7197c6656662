#include "KeloLens/Capture/ScreencaptureCLICapturer.h"

#include <QCoro/QCoroFuture>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLoggingCategory>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <coroutine>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

Q_LOGGING_CATEGORY(lcCapture, "kelolens.capture")

const QString startFailurePrefix = QStringLiteral("Couldn't start screencapture: ");

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Creates the folder (and its parents) and keeps it private: captures are screen contents.
std::optional<QString> ensurePrivateDirectory(const QString &directory)
{
    if (directory.isEmpty()) {
        return QStringLiteral("this user has no cache folder");
    }
    std::error_code error;
    std::filesystem::create_directories(fsPath(directory), error);
    if (error) {
        return QString::fromStdString(error.message());
    }
    if (!std::filesystem::is_directory(fsPath(directory), error)) {
        return QStringLiteral("%1 is not a folder").arg(directory);
    }
    std::filesystem::permissions(fsPath(directory), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    if (error) {
        return QString::fromStdString(error.message());
    }
    return std::nullopt;
}

// Deletes the capture file when the capture ends, whichever way it ends. A tool could leave a
// folder at the path, so whatever is there goes; errors (nothing there) are ignored.
class CaptureFileRemover
{
public:
    explicit CaptureFileRemover(QString path) : m_path(std::move(path)) {}
    ~CaptureFileRemover()
    {
        std::error_code ignored;
        std::filesystem::remove_all(fsPath(m_path), ignored);
    }
    CaptureFileRemover(const CaptureFileRemover &) = delete;
    CaptureFileRemover &operator=(const CaptureFileRemover &) = delete;

private:
    QString m_path;
};

// Decoded straight from the file, by content rather than name, within the reader's memory
// limit: a tool gone wrong could write anything, of any size.
QImage readImage(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

// Suspends until the process has ended or failed to start, whichever comes first. (QCoro's
// waitForStarted never resumes for a program that cannot start.) The coroutine is resumed from
// the event loop, not inside the process's own signal: resuming there would let the coroutine
// destroy the process while it is still emitting. The awaiter may be copied, so
// the connections live in a shared state that disconnects when the last copy goes: destroying a
// suspended coroutine then leaves no signal that could resume it.
class ProcessEnd
{
public:
    explicit ProcessEnd(QProcess &process) : m_process(&process), m_state(std::make_shared<State>())
    {
    }

    bool await_ready() const { return m_process->state() == QProcess::NotRunning; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        const std::weak_ptr<State> weak = m_state;
        const auto resume = [weak, handle] {
            if (const std::shared_ptr<State> state = weak.lock()) {
                state->disconnect();
                handle.resume();
            }
        };
        m_state->finished = QObject::connect(m_process, &QProcess::finished, m_process, resume,
                                             Qt::QueuedConnection);
        m_state->failed = QObject::connect(
            m_process, &QProcess::errorOccurred, m_process,
            [resume](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    resume();
                }
            },
            Qt::QueuedConnection);
    }
    void await_resume() const {}

private:
    struct State
    {
        QMetaObject::Connection finished;
        QMetaObject::Connection failed;

        ~State() { disconnect(); }
        void disconnect()
        {
            QObject::disconnect(finished);
            QObject::disconnect(failed);
        }
    };

    QProcess *m_process;
    std::shared_ptr<State> m_state;
};

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
                                                   QString directory)
    : m_tool(std::move(tool)), m_directory(std::move(directory))
{
}

QString ScreencaptureCLICapturer::defaultDirectory()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        return {};
    }
    return cache + QStringLiteral("/app.kelolens.KeloLens/captures");
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
                       QStringLiteral("-r"), QStringLiteral("-o"), path}});
    }
    if (sessionType.toLower() == u"wayland") {
        // slurp and grim need the wlroots protocols (layer shell, screencopy), which GNOME and
        // KDE do not offer; GNOME lets only its screenshot portal select a region. The path is
        // the shell's first argument, never part of the script.
        if (!isKde && !isGnome) {
            tools.append(
                {QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("region=$(slurp) || exit 0; exec grim -g \"$region\" \"$1\""),
                  QStringLiteral("kelolens-capture"), path},
                 {QStringLiteral("slurp"), QStringLiteral("grim")}});
        }
        return tools;
    }
    // gnome-screenshot's area selection only works on X11; under Wayland it needs the portal.
    if (isGnome && sessionType.toLower() == u"x11") {
        tools.append({QStringLiteral("gnome-screenshot"),
                      {QStringLiteral("-a"), QStringLiteral("-f"), path}});
    }
    tools.append({QStringLiteral("maim"), {QStringLiteral("-s"), path}});
    tools.append({QStringLiteral("scrot"), {QStringLiteral("-s"), QStringLiteral("-o"), path}});
    tools.append({QStringLiteral("xfce4-screenshooter"),
                  {QStringLiteral("-r"), QStringLiteral("-s"), path}});
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

QString ScreencaptureCLICapturer::missingToolReason()
{
    return QStringLiteral(
        "no region screenshot tool is installed. Install maim (on Debian and Ubuntu: "
        "sudo apt install maim), or use Spectacle on KDE or GNOME Screenshot on GNOME.");
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
    if (const std::optional<QString> error = ensurePrivateDirectory(m_directory)) {
        co_return CaptureFailed{QStringLiteral("Couldn't create the capture folder: ") + *error};
    }
    const QString path = m_directory + QStringLiteral("/capture-") +
                         QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                         QStringLiteral(".png");
    const CaptureFileRemover remover(path);

    if (!m_tool) {
        co_return CaptureFailed{startFailurePrefix + missingToolReason()};
    }

    QProcess process;
    process.setProgram(m_tool->program);
    process.setArguments(m_tool->argumentsFor(path));
    // Nothing the tool prints is read or kept.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    co_await ProcessEnd(process);
    if (process.error() == QProcess::FailedToStart) {
        co_return CaptureFailed{startFailurePrefix + process.errorString()};
    }
    int status = process.exitCode();
    if (process.exitStatus() == QProcess::CrashExit && status == 0) {
        status = -1;
    }

    if (!QFileInfo::exists(path)) {
        // A status of 0 without a file is an ordinary cancellation.
        if (status != 0) {
            qCWarning(lcCapture).noquote()
                << QStringLiteral("KeloLens: screencapture exited with status %1 "
                                  "and no file")
                       .arg(status);
        }
        co_return CaptureCancelled{};
    }

    // Decoding a full-screen PNG takes long enough to be felt; keep the event loop turning.
    const QImage image = co_await QtConcurrent::run(readImage, path);
    if (image.isNull()) {
        co_return CaptureFailed{QStringLiteral("The capture couldn't be read")};
    }
    const ExactRect region = estimatedRegion(image.size(), QCursor::pos(), currentScreens());
    co_return CapturedImage{image, region};
}
