// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"

#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QCoro/QCoroTask>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <gtest/gtest.h>

namespace {

// Whether any live process (zombies aside) is in the process group.
bool isGroupAlive(qint64 group)
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        // pid (comm) state ppid pgrp ...: comm may hold spaces, so read after its ')'.
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields.at(2).toLongLong() == group && fields.at(0) != "Z") {
            return true;
        }
    }
    return false;
}

QCoro::Task<> awaitCapture(ScreencaptureCLICapturer &capturer, std::optional<CaptureOutcome> &into)
{
    into = co_await capturer.capture();
}

// Shell scripts that stand in for a region screenshot tool, behaving as one does when the user
// selects, cancels, or the tool breaks or hangs. Each notes the path it was given and its pid.
class CapturerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QImage fixture(40, 20, QImage::Format_RGB32);
        fixture.fill(Qt::red);
        ASSERT_TRUE(fixture.save(path("fixture.png"), "PNG"));
    }

    [[nodiscard]] QString path(const char *name) const { return m_dir.filePath(name); }
    [[nodiscard]] QString captures() const { return path("cache/captures"); }

    CaptureTool tool(const char *name, const QString &body, QList<int> cancelStatuses = {}) const
    {
        EXPECT_TRUE(KeloTest::writeScript(path(name),
                                          QStringLiteral("echo \"$1\" >> '%1'\necho $$ > '%2'\n%3")
                                              .arg(path("calls.log"), path("tool.pid"), body)));
        return {
            path(name), {QString::fromLatin1(CaptureTool::pathPlaceholder)}, cancelStatuses, {}};
    }
    CaptureTool copyingTool(const QString &before = {}) const
    {
        return tool("copy.sh",
                    before + QStringLiteral("\ncp '%1' \"$1\"\nexit 2").arg(path("fixture.png")));
    }
    // Writes a partial file, then hangs and ignores being asked to end.
    CaptureTool hangingTool() const
    {
        return tool("hang.sh", QStringLiteral("echo partial > \"$1\"\ntrap '' TERM\n"
                                              "while :; do sleep 0.05; done"));
    }

    CaptureOutcome capture(const std::optional<CaptureTool> &captureTool)
    {
        ScreencaptureCLICapturer capturer(captureTool, captures());
        return QCoro::waitFor(capturer.capture());
    }

    [[nodiscard]] bool capturesAreEmpty() const
    {
        return QDir(captures())
            .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
    [[nodiscard]] QStringList calls() const
    {
        QFile file(path("calls.log"));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    [[nodiscard]] qint64 toolPid() const
    {
        QFile file(path("tool.pid"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

    QTemporaryDir m_dir;
    KeloTest::LogCapture m_log;
};

} // namespace

TEST_F(CapturerTest, WrittenImagesComeBackWithTheirRegionInFilesOfTheirOwnThatGo)
{
    // Inside the offscreen screen, so the region is the image size in its scale.
    QCursor::setPos(QPoint(300, 200));
    const QPoint pointer = QCursor::pos();
    ASSERT_NE(QGuiApplication::screenAt(pointer), nullptr);
    const double scale = QGuiApplication::screenAt(pointer)->devicePixelRatio();

    // A slow tool that exits with an error but wrote its file: twice, while the event loop turns.
    ScreencaptureCLICapturer capturer(copyingTool(QStringLiteral("sleep 0.3")), captures());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);
    for (int i = 0; i < 2; ++i) {
        const CaptureOutcome outcome = QCoro::waitFor(capturer.capture());
        const auto *captured = std::get_if<CapturedImage>(&outcome);
        ASSERT_NE(captured, nullptr);
        EXPECT_EQ(captured->image.size(), QSize(40, 20));
        EXPECT_EQ(captured->image.pixelColor(0, 0), QColor(Qt::red));
        EXPECT_EQ(captured->region, (ExactRect{pointer.x() - 40 / scale, pointer.y() - 20 / scale,
                                               40 / scale, 20 / scale}));
    }
    EXPECT_GE(ticks, 10);
    EXPECT_TRUE(capturesAreEmpty());
    // Each file was its own, directly in the private captures folder.
    ASSERT_EQ(calls().size(), 2);
    EXPECT_NE(calls().at(0), calls().at(1));
    EXPECT_EQ(QFileInfo(calls().at(0)).absolutePath(), QFileInfo(captures()).absoluteFilePath());
    EXPECT_FALSE(QFileInfo(captures()).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
}

TEST_F(CapturerTest, NoFileIsACancelLoggedOnlyWhenTheToolFailedAndABadFileAFailure)
{
    const CaptureOutcome cancelled = CaptureCancelled{};
    // An ordinary cancel, and maim's way of saying the user pressed Escape: nothing logged.
    EXPECT_EQ(capture(tool("cancel.sh", QStringLiteral("exit 0"))), cancelled);
    EXPECT_EQ(capture(tool("escape.sh", QStringLiteral("exit 1"), {1})), cancelled);
    EXPECT_TRUE(m_log.lines().isEmpty()) << m_log.lines().join(u'\n').toStdString();
    EXPECT_EQ(capture(tool("fail.sh", QStringLiteral("exit 3"), {1})), cancelled);
    EXPECT_EQ(m_log.lines(), QStringList{QStringLiteral(
                                 "KeloLens: screencapture exited with status 3 and no file")});

    // Even a folder in the file's place goes away.
    EXPECT_EQ(capture(tool("folder.sh", QStringLiteral("mkdir \"$1\""))),
              CaptureOutcome(CaptureFailed{QStringLiteral("The capture couldn't be read")}));
    EXPECT_TRUE(capturesAreEmpty());
}

TEST_F(CapturerTest, AToolThatCannotStartOrIsMissingFailsWithAReason)
{
    const QString prefix = QStringLiteral("Couldn't start screencapture: ");
    const QList<std::optional<CaptureTool>> broken{
        CaptureTool{path("no-such-tool"), {QStringLiteral("{path}")}, {}, {}},
        CaptureTool{path("fixture.png"), {QStringLiteral("{path}")}, {}, {}}, // not executable
    };
    for (const std::optional<CaptureTool> &captureTool : broken) {
        const CaptureOutcome outcome = capture(captureTool);
        const auto *failure = std::get_if<CaptureFailed>(&outcome);
        ASSERT_NE(failure, nullptr);
        EXPECT_TRUE(failure->message.startsWith(prefix)) << failure->message.toStdString();
        EXPECT_GT(failure->message.size(), prefix.size() + 5);
        EXPECT_TRUE(capturesAreEmpty());
    }
    // Without any tool a message short enough for a toast says what to install, the log says how.
    EXPECT_EQ(capture(std::nullopt),
              CaptureOutcome(CaptureFailed{QStringLiteral("Install maim to capture")}));
    EXPECT_TRUE(m_log.lines().constLast().endsWith(QStringLiteral(": sudo apt install maim")))
        << m_log.lines().join(u'\n').toStdString();
    QProcessEnvironment kde;
    kde.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    kde.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
    const ScreencaptureCLICapturer onKde(std::nullopt, captures(),
                                         ScreencaptureCLICapturer::toolTimeout,
                                         ScreencaptureCLICapturer::toolToInstall(kde));
    EXPECT_EQ(onKde.missingToolCommand(), QStringLiteral("sudo apt install kde-spectacle"));
}

TEST_F(CapturerTest, AHangingToolIsStoppedAndTheCaptureFailsSoANewOneCanStart)
{
    ScreencaptureCLICapturer capturer(hangingTool(), captures(), std::chrono::milliseconds(300));
    std::optional<CaptureOutcome> outcome;
    const QCoro::Task<> waiting = awaitCapture(capturer, outcome);
    ASSERT_TRUE(KeloTest::waitUntil([&] { return outcome.has_value(); }, std::chrono::seconds(10)));
    EXPECT_EQ(*outcome, CaptureOutcome(CaptureFailed{
                            QStringLiteral("The screenshot tool (hang.sh) stopped responding and "
                                           "was closed.")}));
    ASSERT_EQ(m_log.lines().size(), 1);
    EXPECT_TRUE(m_log.lines().first().endsWith(
        QStringLiteral("ran for 0.3 s without ending and was stopped")));
    ASSERT_NE(toolPid(), 0);
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !isGroupAlive(toolPid()); }));
    EXPECT_TRUE(capturesAreEmpty());
}

TEST_F(CapturerTest, CancellingOrDestroyingEndsTheCaptureAtOnceWithNothingLeft)
{
    for (const bool destroy : {false, true}) {
        QFile::remove(path("tool.pid"));
        auto capturer = std::make_unique<ScreencaptureCLICapturer>(hangingTool(), captures());
        std::optional<CaptureOutcome> outcome;
        const QCoro::Task<> waiting = awaitCapture(*capturer, outcome);
        ASSERT_TRUE(KeloTest::waitUntil([&] { return toolPid() != 0; }));
        // No turn of the event loop: at exit there may be none.
        if (destroy) {
            capturer.reset();
        } else {
            capturer->cancel();
        }
        ASSERT_TRUE(outcome.has_value()) << destroy;
        EXPECT_EQ(*outcome, CaptureOutcome(CaptureCancelled{}));
        EXPECT_TRUE(capturesAreEmpty());
        EXPECT_TRUE(KeloTest::waitUntil([&] { return !isGroupAlive(toolPid()); }));
    }
    EXPECT_TRUE(m_log.lines().isEmpty()) << m_log.lines().join(u'\n').toStdString();
}

// A real process that is asked to end while its capture runs, and one that dies without a word.
TEST_F(CapturerTest, TerminationOrACrashMidCaptureLeavesNoToolAndNoFileForGood)
{
    const QString helper =
        QStringLiteral(KELO_TEST_BINARY_DIR "/tests/KeloLens/kelo-test-capture-shutdown");
    for (const int signalNumber : {SIGTERM, SIGINT, SIGKILL}) {
        QFile::remove(path("tool.pid"));
        QProcess process;
        process.start(helper, {hangingTool().program, captures()});
        ASSERT_TRUE(KeloTest::waitUntil([&] { return toolPid() != 0 && !capturesAreEmpty(); }));
        ::kill(pid_t(process.processId()), signalNumber);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_TRUE(KeloTest::waitUntil([&] { return !isGroupAlive(toolPid()); })) << signalNumber;
        if (signalNumber != SIGKILL) {
            EXPECT_EQ(process.readAllStandardOutput().trimmed(), QByteArray("cancelled"));
            EXPECT_TRUE(capturesAreEmpty()) << signalNumber;
            continue;
        }
        // Nothing ran in the process; the next start clears what it left, and only that.
        QFile other(path("cache/captures/notes.txt"));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        EXPECT_EQ(ScreencaptureCLICapturer(std::nullopt, captures()).removeLeftovers(), 1);
        EXPECT_EQ(QDir(captures()).entryList(QDir::Files), QStringList{"notes.txt"});
    }
}

// slurp prints the selected geometry (nothing, with status 1, when cancelled); grim writes the
// region to the file. Stand-ins on PATH show what the wlroots tool line does with them.
TEST_F(CapturerTest, OnWlrootsSlurpsRegionGoesToGrimAndACancelIsACancel)
{
    ASSERT_TRUE(QDir().mkpath(path("bin")));
    ASSERT_TRUE(KeloTest::writeScript(
        path("bin/slurp"),
        QStringLiteral("[ -e '%1' ] && exit 1\necho '10,20 300x100'").arg(path("cancel"))));
    ASSERT_TRUE(KeloTest::writeScript(path("bin/grim"),
                                      QStringLiteral("printf '%s|' \"$@\" > '%1'\ncp '%2' \"$3\"")
                                          .arg(path("grim.log"), path("fixture.png"))));
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1"));
    const auto inBin = [&](const QString &name) {
        const QString ours = path("bin/") + name;
        return QFileInfo(ours).isExecutable() ? ours : QStandardPaths::findExecutable(name);
    };
    const std::optional<CaptureTool> tool = ScreencaptureCLICapturer::chooseTool(env, inBin);
    ASSERT_TRUE(tool);
    const KeloTest::ScopedEnvironment searchPath(
        "PATH", (path("bin") + u':' + qEnvironmentVariable("PATH")).toLocal8Bit());

    // A folder name a shell would trip over if the path were ever part of the script.
    const QString folder = m_dir.filePath(QStringLiteral("it's $HOME; `x`"));
    ScreencaptureCLICapturer capturer(tool, folder);
    const CaptureOutcome taken = QCoro::waitFor(capturer.capture());
    ASSERT_TRUE(std::holds_alternative<CapturedImage>(taken));
    // Under Wayland the pointer this process sees is not where the drag ended.
    EXPECT_FALSE(std::get<CapturedImage>(taken).region.has_value());
    QFile grimLog(path("grim.log"));
    ASSERT_TRUE(grimLog.open(QIODevice::ReadOnly));
    const QString arguments = QString::fromUtf8(grimLog.readAll());
    EXPECT_TRUE(arguments.startsWith(QStringLiteral("-g|10,20 300x100|") + folder + u'/'))
        << arguments.toStdString();

    QFile(path("cancel")).open(QIODevice::WriteOnly);
    EXPECT_EQ(QCoro::waitFor(capturer.capture()), CaptureOutcome(CaptureCancelled{}));
    EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST(EstimatedRegion, ThePointerIsTheBottomRightCornerScaledByItsScreen)
{
    // On no screen at all the scale is 2.
    EXPECT_EQ(ScreencaptureCLICapturer::estimatedRegion(QSize(400, 200), QPoint(1000, 500), {}),
              (ExactRect{800, 400, 200, 100}));
    // The first screen containing the pointer decides; edges belong to the next screen.
    const QList<ScreenGeometry> two{{QRect(0, 0, 1000, 800), 2.0},
                                    {QRect(1000, 0, 1920, 1080), 1.0}};
    EXPECT_EQ(ScreencaptureCLICapturer::estimatedRegion(QSize(400, 200), QPoint(1000, 500), two),
              (ExactRect{600, 300, 400, 200}));
    EXPECT_EQ(ScreencaptureCLICapturer::estimatedRegion(QSize(400, 200), QPoint(999, 500), two),
              (ExactRect{799, 400, 200, 100}));
}
