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
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // pid (comm) state ppid pgrp ...: comm may hold spaces, so read after its ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields.at(2).toLongLong() == group && fields.at(0) != "Z") {
            return true;
        }
    }
    return false;
}

// Runs a capture, leaving its outcome in `into` whenever it ends.
QCoro::Task<> awaitCapture(ScreencaptureCLICapturer &capturer, std::optional<CaptureOutcome> &into)
{
    into = co_await capturer.capture();
}

// Small stand-ins for a region screenshot tool: shell scripts that behave like one would when
// the user selects, cancels, or the tool breaks or hangs.
class CapturerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QImage fixture(40, 20, QImage::Format_RGB32);
        fixture.fill(QColor(0x33, 0x66, 0xcc));
        fixture.setPixelColor(0, 0, Qt::red);
        ASSERT_TRUE(fixture.save(fixturePath(), "PNG"));
    }

    QString fixturePath() const { return m_dir.filePath(QStringLiteral("fixture.png")); }
    QString capturesDir() const { return m_dir.filePath(QStringLiteral("cache/captures")); }
    QString callLog() const { return m_dir.filePath(QStringLiteral("calls.log")); }
    QString pidFile() const { return m_dir.filePath(QStringLiteral("tool.pid")); }

    // A tool script with the given body; $1 is the capture file's path. It notes its path and
    // its process id.
    CaptureTool tool(const QString &name, const QString &body, QList<int> cancelStatuses = {}) const
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\necho $$ > '%2'\n%3\n")
                       .arg(callLog(), pidFile(), body)
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return {path, {QString::fromLatin1(CaptureTool::pathPlaceholder)}, cancelStatuses, {}};
    }

    CaptureTool copyingTool(int status = 0) const
    {
        return tool(QStringLiteral("copy.sh"),
                    QStringLiteral("cp '%1' \"$1\"\nexit %2").arg(fixturePath()).arg(status));
    }

    // Writes a partial file, then hangs and ignores being asked to end.
    CaptureTool hangingTool() const
    {
        return tool(QStringLiteral("hang.sh"),
                    QStringLiteral("echo partial > \"$1\"\ntrap '' TERM\n"
                                   "while :; do sleep 0.05; done"));
    }

    CaptureOutcome capture(const std::optional<CaptureTool> &captureTool)
    {
        ScreencaptureCLICapturer capturer(captureTool, capturesDir());
        return QCoro::waitFor(capturer.capture());
    }

    bool capturesFolderIsEmpty() const
    {
        return QDir(capturesDir())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
            .isEmpty();
    }

    QStringList calls() const
    {
        QFile file(callLog());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    qint64 toolPid() const
    {
        QFile file(pidFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

    QTemporaryDir m_dir;
    KeloTest::LogCapture m_log;
};

} // namespace

TEST_F(CapturerTest, AWrittenImageComesBackWithItsRegionWhateverTheStatusAndTheFileIsGone)
{
    // Inside the offscreen screen, so the region is the image size in its scale.
    QCursor::setPos(QPoint(300, 200));
    const QPoint pointer = QCursor::pos();
    const QScreen *screen = QGuiApplication::screenAt(pointer);
    ASSERT_NE(screen, nullptr);
    const double scale = screen->devicePixelRatio();

    const CaptureOutcome outcome = capture(copyingTool(2));
    const auto *captured = std::get_if<CapturedImage>(&outcome);
    ASSERT_NE(captured, nullptr);
    EXPECT_EQ(captured->image.size(), QSize(40, 20));
    EXPECT_EQ(captured->image.pixelColor(0, 0), QColor(Qt::red));
    ASSERT_TRUE(captured->region.has_value());
    EXPECT_EQ(*captured->region, (ExactRect{pointer.x() - 40 / scale, pointer.y() - 20 / scale,
                                            40 / scale, 20 / scale}));
    EXPECT_TRUE(capturesFolderIsEmpty());

    // The tool was handed a file directly in the private captures folder.
    ASSERT_EQ(calls().size(), 1);
    const QFileInfo file(calls().first());
    EXPECT_EQ(file.absolutePath(), QFileInfo(capturesDir()).absoluteFilePath());
    EXPECT_TRUE(file.fileName().startsWith(QStringLiteral("capture-")));
    const QFile::Permissions groupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_FALSE(QFileInfo(capturesDir()).permissions() & groupOrOther);
}

TEST_F(CapturerTest, UnreadableFilesFailAndAreDeleted)
{
    const CaptureFailed unreadable{QStringLiteral("The capture couldn't be read")};
    EXPECT_EQ(capture(tool(QStringLiteral("garbage.sh"), QStringLiteral("echo garbage > \"$1\""))),
              CaptureOutcome(unreadable));
    EXPECT_TRUE(capturesFolderIsEmpty());
    // Even a folder in the file's place goes away.
    EXPECT_EQ(capture(tool(QStringLiteral("folder.sh"), QStringLiteral("mkdir \"$1\""))),
              CaptureOutcome(unreadable));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(CapturerTest, NoFileIsACancellationLoggedOnlyWhenTheToolFailed)
{
    const CaptureOutcome cancelled = CaptureCancelled{};
    // An ordinary cancel, and maim's way of saying the user pressed Escape: nothing logged.
    EXPECT_EQ(capture(tool(QStringLiteral("cancel.sh"), QStringLiteral("exit 0"))), cancelled);
    EXPECT_EQ(capture(tool(QStringLiteral("escape.sh"), QStringLiteral("exit 1"), {1})), cancelled);
    EXPECT_TRUE(m_log.lines().isEmpty()) << m_log.lines().join(u'\n').toStdString();

    EXPECT_EQ(capture(tool(QStringLiteral("fail.sh"), QStringLiteral("exit 3"), {1})), cancelled);
    EXPECT_EQ(capture(tool(QStringLiteral("killed.sh"), QStringLiteral("kill -9 $$"))), cancelled);
    EXPECT_EQ(m_log.lines(),
              (QStringList{
                  QStringLiteral("KeloLens: screencapture exited with status 3 and no file"),
                  QStringLiteral("KeloLens: screencapture was killed by signal 9 and left no file"),
              }));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(CapturerTest, AToolThatCannotStartOrIsMissingFailsWithAReason)
{
    const QString prefix = QStringLiteral("Couldn't start screencapture: ");
    const QList<std::optional<CaptureTool>> broken{
        CaptureTool{
            m_dir.filePath(QStringLiteral("no-such-tool")), {QStringLiteral("{path}")}, {}, {}},
        CaptureTool{fixturePath(), {QStringLiteral("{path}")}, {}, {}}, // not executable
        std::nullopt,
    };
    for (const std::optional<CaptureTool> &captureTool : broken) {
        const CaptureOutcome outcome = capture(captureTool);
        const auto *failure = std::get_if<CaptureFailed>(&outcome);
        ASSERT_NE(failure, nullptr);
        EXPECT_TRUE(failure->message.startsWith(prefix)) << failure->message.toStdString();
        EXPECT_GT(failure->message.size(), prefix.size() + 5);
        EXPECT_TRUE(capturesFolderIsEmpty());
    }
    // Without any tool the message says what to install.
    EXPECT_TRUE(
        std::get<CaptureFailed>(capture(std::nullopt)).message.contains(QStringLiteral("maim")));

    // A file where the captures folder's parent belongs.
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScreencaptureCLICapturer blocked(copyingTool(),
                                     blocker.fileName() + QStringLiteral("/captures"));
    const CaptureOutcome outcome = QCoro::waitFor(blocked.capture());
    EXPECT_TRUE(std::get<CaptureFailed>(outcome).message.startsWith(
        QStringLiteral("Couldn't create the capture folder: ")));
    EXPECT_EQ(calls().size(), 0);
}

TEST_F(CapturerTest, TwoCapturesNeverShareAFileAndTheEventLoopTurnsMeanwhile)
{
    ScreencaptureCLICapturer capturer(
        tool(QStringLiteral("slow.sh"),
             QStringLiteral("sleep 0.3\ncp '%1' \"$1\"").arg(fixturePath())),
        capturesDir());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);
    EXPECT_TRUE(std::holds_alternative<CapturedImage>(QCoro::waitFor(capturer.capture())));
    EXPECT_TRUE(std::holds_alternative<CapturedImage>(QCoro::waitFor(capturer.capture())));
    EXPECT_GE(ticks, 10);
    const QStringList paths = calls();
    ASSERT_EQ(paths.size(), 2);
    EXPECT_NE(paths.at(0), paths.at(1));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(CapturerTest, AHangingToolIsStoppedAndTheCaptureFailsSoANewOneCanStart)
{
    ScreencaptureCLICapturer capturer(hangingTool(), capturesDir(), std::chrono::milliseconds(300));
    std::optional<CaptureOutcome> outcome;
    const QCoro::Task<> waiting = awaitCapture(capturer, outcome);
    ASSERT_TRUE(KeloTest::waitUntil([&] { return outcome.has_value(); }, std::chrono::seconds(10)));
    EXPECT_EQ(*outcome, CaptureOutcome(CaptureFailed{
                            QStringLiteral("The screenshot tool (hang.sh) stopped responding and "
                                           "was closed.")}));
    ASSERT_EQ(m_log.lines().size(), 1);
    EXPECT_TRUE(m_log.lines().first().startsWith(QStringLiteral("KeloLens: the region tool ")));
    EXPECT_TRUE(m_log.lines().first().endsWith(
        QStringLiteral("ran for 0.3 s without ending and was stopped")));
    ASSERT_NE(toolPid(), 0);
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !isGroupAlive(toolPid()); }));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(CapturerTest, CancellingOrDestroyingEndsTheCaptureAtOnceWithNothingLeft)
{
    for (const bool destroy : {false, true}) {
        QFile::remove(pidFile());
        auto capturer = std::make_unique<ScreencaptureCLICapturer>(hangingTool(), capturesDir());
        std::optional<CaptureOutcome> outcome;
        const QCoro::Task<> waiting = awaitCapture(*capturer, outcome);
        ASSERT_TRUE(KeloTest::waitUntil([&] { return toolPid() != 0; }));
        ASSERT_TRUE(isGroupAlive(toolPid()));

        // No turn of the event loop: at exit there may be none.
        if (destroy) {
            capturer.reset();
        } else {
            capturer->cancel();
        }
        ASSERT_TRUE(outcome.has_value()) << destroy;
        EXPECT_EQ(*outcome, CaptureOutcome(CaptureCancelled{}));
        EXPECT_TRUE(waiting.isReady());
        EXPECT_TRUE(capturesFolderIsEmpty());
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
        QFile::remove(pidFile());
        QProcess process;
        process.start(helper, {hangingTool().program, capturesDir()});
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(KeloTest::waitUntil([&] { return toolPid() != 0; }));
        ASSERT_TRUE(KeloTest::waitUntil([&] { return !capturesFolderIsEmpty(); }));
        ::kill(pid_t(process.processId()), signalNumber);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_TRUE(KeloTest::waitUntil([&] { return !isGroupAlive(toolPid()); })) << signalNumber;
        if (signalNumber == SIGKILL) {
            // Nothing ran in the process; the next start clears what it left.
            EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
            EXPECT_FALSE(capturesFolderIsEmpty());
            QFile other(m_dir.filePath(QStringLiteral("cache/captures/notes.txt")));
            ASSERT_TRUE(other.open(QIODevice::WriteOnly));
            other.close();
            EXPECT_EQ(CaptureFiles::removeLeftovers(capturesDir()), 1);
            EXPECT_EQ(QDir(capturesDir()).entryList(QDir::Files),
                      QStringList{QStringLiteral("notes.txt")});
        } else {
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << signalNumber;
            EXPECT_EQ(process.readAllStandardOutput().trimmed(), QByteArray("cancelled"));
            EXPECT_TRUE(capturesFolderIsEmpty()) << signalNumber;
        }
    }
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
