// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/wayland/KWinScreenReader.h"

#include "KeloPlatform/ChildProcess.h"
#include "KeloPlatform/wayland/WorkspaceImage.h"

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroProcess>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcKWinScreen, "kelolens.platform.screen")

using namespace std::chrono_literals;

const QString screenshotService = QStringLiteral("org.kde.KWin.ScreenShot2");
const QString screenshotPath = QStringLiteral("/org/kde/KWin/ScreenShot2");
const QString notAuthorized = QStringLiteral("org.kde.KWin.ScreenShot2.Error.NoAuthorized");

// KWin answers within a frame or two, and writes the pixels right after its answer.
constexpr auto kwinTimeout = 5s;
// Spectacle starts a whole Qt program first.
constexpr auto spectacleTimeout = 20s;
// Larger than any desktop of monitors side by side; anything beyond is a broken answer.
constexpr quint32 largestSide = 32768;

// A pipe's two ends, closed when it goes.
struct Pipe
{
    int readEnd = -1;
    int writeEnd = -1;
    Pipe()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            readEnd = ends[0];
            writeEnd = ends[1];
        }
    }
    ~Pipe()
    {
        closeWriteEnd();
        if (readEnd >= 0) {
            ::close(readEnd);
        }
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    void closeWriteEnd()
    {
        if (writeEnd >= 0) {
            ::close(writeEnd);
            writeEnd = -1;
        }
    }
};

// Exactly `size` bytes from the pipe, each piece within the timeout; absent when it ended early
// or went quiet.
std::optional<QByteArray> readExactly(int fd, qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < size) {
        pollfd ready{fd, POLLIN, 0};
        const int count = ::poll(&ready, 1, int(std::chrono::milliseconds(kwinTimeout).count()));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return std::nullopt;
        }
        const ssize_t read = ::read(fd, data.data() + done, size_t(size - done));
        if (read < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (read <= 0) {
            return std::nullopt;
        }
        done += read;
    }
    return data;
}

// The picture KWin describes in its answer and writes to the pipe; null when the description
// makes no sense or the pixels do not come.
QImage imageFrom(const QVariantMap &answer, int fd)
{
    bool isValid = answer.value(QStringLiteral("type")).toString() == u"raw";
    const auto number = [&](const char *key) {
        bool isNumber = false;
        const quint32 value = answer.value(QString::fromLatin1(key)).toUInt(&isNumber);
        isValid = isValid && isNumber;
        return value;
    };
    const quint32 width = number("width");
    const quint32 height = number("height");
    const quint32 stride = number("stride");
    const quint32 format = number("format");
    if (!isValid || width == 0 || height == 0 || width > largestSide || height > largestSide ||
        format <= quint32(QImage::Format_Invalid) || format >= quint32(QImage::NImageFormats)) {
        return {};
    }
    QImage image{int(width), int(height), QImage::Format(format)};
    if (image.isNull() || stride < quint32(image.bytesPerLine()) || stride > 16 * largestSide) {
        return {};
    }
    const std::optional<QByteArray> pixels = readExactly(fd, qsizetype(stride) * height);
    if (!pixels) {
        return {};
    }
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(image.scanLine(y), pixels->constData() + qsizetype(y) * stride,
                    size_t(image.bytesPerLine()));
    }
    return image;
}

struct KWinAnswer
{
    QImage image;
    bool isRefused = false;
    QString error;
};

// Asks KWin for the whole desktop, at each monitor's own scale, and waits for the pixels. Blocks:
// runs on a worker thread.
KWinAnswer captureWorkspace(QDBusConnection bus)
{
    Pipe pipe;
    if (pipe.readEnd < 0) {
        return {
            {}, false, QStringLiteral("no pipe: %1").arg(QString::fromLocal8Bit(strerror(errno)))};
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        screenshotService, screenshotPath, screenshotService, QStringLiteral("CaptureWorkspace"));
    const QVariantMap options{{QStringLiteral("native-resolution"), true},
                              {QStringLiteral("include-cursor"), false}};
    call << options << QVariant::fromValue(QDBusUnixFileDescriptor(pipe.writeEnd));
    // The message holds a copy of the write end; ours goes now, and the message's once it has
    // been sent, so that KWin holds the only one.
    pipe.closeWriteEnd();
    const QDBusMessage reply =
        bus.call(call, QDBus::Block, int(std::chrono::milliseconds(kwinTimeout).count()));
    call = QDBusMessage();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {{}, reply.errorName() == notAuthorized, reply.errorMessage()};
    }
    const auto answer = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    QImage image = imageFrom(answer, pipe.readEnd);
    if (image.isNull()) {
        return {{}, false, QStringLiteral("KWin's picture could not be read")};
    }
    return {image, false, {}};
}

// Spectacle's picture of the whole desktop, taken in the background into a folder of our own in
// the runtime folder (this user's alone, and emptied at logout even if we are killed meanwhile),
// read and deleted at once.
QCoro::Task<QImage> readWithSpectacle(QString spectacle)
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty()) {
        base = QDir::tempPath();
    }
    QTemporaryDir folder(base + QStringLiteral("/kelolens-screen-XXXXXX"));
    if (!folder.isValid()) {
        qCWarning(lcKWinScreen).noquote()
            << QStringLiteral("KeloLens: no private folder for Spectacle's picture: %1")
                   .arg(folder.errorString());
        co_return QImage();
    }
    const QString path = folder.filePath(QStringLiteral("screen.png"));
    QProcess process;
    ChildProcess::confine(process);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(spectacle, {QStringLiteral("-b"), QStringLiteral("-n"), QStringLiteral("-f"),
                              QStringLiteral("-o"), path});
    const bool hasEnded = co_await qCoro(process).waitForFinished(spectacleTimeout);
    if (!hasEnded) {
        ChildProcess::stop(process, 1s);
    }
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) {
        qCWarning(lcKWinScreen).noquote()
            << QStringLiteral("KeloLens: Spectacle gave no picture of the screen: %1")
                   .arg(hasEnded ? QString::fromLocal8Bit(process.readAll()).simplified() +
                                       reader.errorString()
                                 : QStringLiteral("no answer"));
    }
    QFile::remove(path);
    folder.remove();
    co_return image;
}

class KWinScreenReader final : public ScreenReader
{
public:
    KWinScreenReader(QDBusConnection bus, QString waylandDisplay)
        : m_bus(std::move(bus)), m_waylandDisplay(std::move(waylandDisplay))
    {
    }

    [[nodiscard]] bool canRead() const override
    {
        if (!m_bus.isConnected() || !m_bus.interface()->isServiceRegistered(screenshotService)) {
            return false;
        }
        const bool hasSpectacle =
            !QStandardPaths::findExecutable(QStringLiteral("spectacle")).isEmpty();
        if (!hasSpectacle && !m_isAllowed) {
            m_isAllowed = isAllowedByKWin();
        }
        return hasSpectacle || m_isAllowed.value_or(false);
    }

    QCoro::Task<ScreenContents> read() override
    {
        QList<MonitorImage> monitors = currentMonitors();
        if (monitors.isEmpty()) {
            co_return ScreenContents{{},
                                     screenReadFailure(QStringLiteral("no monitor is connected."))};
        }
        QImage workspace;
        if (m_isAllowed != false) {
            const KWinAnswer answer = co_await QtConcurrent::run(&captureWorkspace, m_bus);
            if (answer.isRefused) {
                m_isAllowed = false;
                qCInfo(lcKWinScreen).noquote()
                    << QStringLiteral("KeloLens: KWin lets only programs its desktop entries "
                                      "allow read the screen, and none allows %1; Spectacle "
                                      "reads it instead")
                           .arg(QCoreApplication::applicationFilePath());
            } else if (answer.image.isNull()) {
                qCWarning(lcKWinScreen).noquote()
                    << QStringLiteral("KeloLens: KWin did not give the screen: %1")
                           .arg(answer.error);
            } else {
                m_isAllowed = true;
                workspace = answer.image;
            }
        }
        if (workspace.isNull()) {
            const QString spectacle = QStandardPaths::findExecutable(QStringLiteral("spectacle"));
            if (spectacle.isEmpty()) {
                co_return ScreenContents{
                    {},
                    screenReadFailure(QStringLiteral("KWin refused, and Spectacle is not "
                                                     "installed."))};
            }
            workspace = co_await readWithSpectacle(spectacle);
        }
        if (workspace.isNull()) {
            co_return ScreenContents{{}, screenReadFailure(QStringLiteral("no picture came."))};
        }
        co_return workspaceContents(workspace, std::move(monitors), m_waylandDisplay);
    }

private:
    // Only KWin's answer tells whether it allows us: asked once, for one picture.
    [[nodiscard]] bool isAllowedByKWin() const { return !captureWorkspace(m_bus).image.isNull(); }

    QDBusConnection m_bus;
    QString m_waylandDisplay;
    // What KWin said last: absent until asked.
    mutable std::optional<bool> m_isAllowed;
};

} // namespace

std::unique_ptr<ScreenReader> createKWinScreenReader(QDBusConnection bus,
                                                     const QString &waylandDisplay)
{
    return std::make_unique<KWinScreenReader>(std::move(bus), waylandDisplay);
}

} // namespace KeloPlatform
