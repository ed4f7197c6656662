#include "KeloLens/Capture/ScreencaptureCLICapturer.h"

#include <QCoro/QCoroTask>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList g_messages;
void collectMessages(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages.append(message);
}

// Small stand-ins for a region screenshot tool: shell scripts that behave like one would when
// the user selects, cancels, or the tool breaks.
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

    // A tool script with the given body; $1 is the capture file's path.
    CaptureTool tool(const QString &name, const QString &body) const
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\n%2\n").arg(callLog(), body).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return {path, {QString::fromLatin1(CaptureTool::pathPlaceholder)}};
    }

    CaptureTool copyingTool(int status = 0) const
    {
        return tool(QStringLiteral("copy.sh"),
                    QStringLiteral("cp '%1' \"$1\"\nexit %2").arg(fixturePath()).arg(status));
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

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(CapturerTest, AWrittenImageComesBackWithItsRegionAndTheFileIsGone)
{
    // Inside the offscreen screen (scale 1), so the region is the image size in points.
    QCursor::setPos(QPoint(300, 200));
    const QPoint pointer = QCursor::pos();
    const QScreen *screen = QGuiApplication::screenAt(pointer);
    ASSERT_NE(screen, nullptr);
    const double scale = screen->devicePixelRatio();

    const CaptureOutcome outcome = capture(copyingTool());
    const auto *captured = std::get_if<CapturedImage>(&outcome);
    ASSERT_NE(captured, nullptr);
    EXPECT_EQ(captured->image.size(), QSize(40, 20));
    EXPECT_EQ(captured->image.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(captured->image.pixelColor(39, 19), QColor(0x33, 0x66, 0xcc));
    ASSERT_TRUE(captured->region.has_value());
    EXPECT_EQ(*captured->region, (ExactRect{pointer.x() - 40 / scale, pointer.y() - 20 / scale,
                                            40 / scale, 20 / scale}));
    EXPECT_TRUE(capturesFolderIsEmpty());

    // The tool was handed a fresh file directly in the private captures folder.
    ASSERT_EQ(calls().size(), 1);
    const QFileInfo file(calls().first());
    EXPECT_EQ(file.absolutePath(), QFileInfo(capturesDir()).absoluteFilePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^capture-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-"
                                                  "[0-9A-F]{4}-[0-9A-F]{12}\\.png$"))
                    .match(file.fileName())
                    .hasMatch())
        << file.fileName().toStdString();
    const QFile::Permissions groupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_FALSE(QFileInfo(capturesDir()).permissions() & groupOrOther);
}

TEST_F(CapturerTest, AFileCountsEvenWhenTheToolReportsAnError)
{
    const CaptureOutcome outcome = capture(copyingTool(2));
    EXPECT_TRUE(std::holds_alternative<CapturedImage>(outcome));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(CapturerTest, UnreadableFilesFailAndAreDeleted)
{
    const CaptureFailed unreadable{QStringLiteral("The capture couldn't be read")};
    EXPECT_EQ(capture(tool(QStringLiteral("garbage.sh"), QStringLiteral("echo garbage > \"$1\""))),
              CaptureOutcome(unreadable));
    EXPECT_TRUE(capturesFolderIsEmpty());
    EXPECT_EQ(capture(tool(QStringLiteral("empty.sh"), QStringLiteral(": > \"$1\""))),
              CaptureOutcome(unreadable));
    EXPECT_TRUE(capturesFolderIsEmpty());
    // A truncated PNG: the header promises more than there is.
    EXPECT_EQ(capture(tool(QStringLiteral("truncated.sh"),
                           QStringLiteral("head -c 60 '%1' > \"$1\"").arg(fixturePath()))),
              CaptureOutcome(unreadable));
    EXPECT_TRUE(capturesFolderIsEmpty());
    // Even a folder in the file's place goes away.
    EXPECT_EQ(capture(tool(QStringLiteral("folder.sh"), QStringLiteral("mkdir \"$1\""))),
              CaptureOutcome(unreadable));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(CapturerTest, NoFileIsACancellationLoggedOnlyForANonZeroStatus)
{
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectMessages);
    const CaptureOutcome quiet =
        capture(tool(QStringLiteral("cancel.sh"), QStringLiteral("exit 0")));
    const QStringList afterQuiet = g_messages;
    const CaptureOutcome logged =
        capture(tool(QStringLiteral("fail.sh"), QStringLiteral("exit 3")));
    qInstallMessageHandler(previous);

    EXPECT_EQ(quiet, CaptureOutcome(CaptureCancelled{}));
    EXPECT_TRUE(afterQuiet.isEmpty()) << afterQuiet.join(u'\n').toStdString();
    EXPECT_EQ(logged, CaptureOutcome(CaptureCancelled{}));
    EXPECT_EQ(g_messages, QStringList{QStringLiteral(
                              "KeloLens: screencapture exited with status 3 and no file")});
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(CapturerTest, AToolThatCannotStartOrIsMissingFailsWithAReason)
{
    const QString prefix = QStringLiteral("Couldn't start screencapture: ");
    const QList<std::optional<CaptureTool>> broken{
        CaptureTool{m_dir.filePath(QStringLiteral("no-such-tool")), {QStringLiteral("{path}")}},
        CaptureTool{fixturePath(), {QStringLiteral("{path}")}}, // not executable
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
    const CaptureOutcome outcome = capture(std::nullopt);
    EXPECT_TRUE(std::get<CaptureFailed>(outcome).message.contains(QStringLiteral("maim")));
}

TEST_F(CapturerTest, AFolderThatCannotBeCreatedFailsTheCapture)
{
    QFile blocker(m_dir.filePath(QStringLiteral("cache")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const CaptureOutcome outcome = capture(copyingTool());
    const auto *failure = std::get_if<CaptureFailed>(&outcome);
    ASSERT_NE(failure, nullptr);
    EXPECT_TRUE(failure->message.startsWith(QStringLiteral("Couldn't create the capture folder: ")))
        << failure->message.toStdString();
    EXPECT_TRUE(calls().isEmpty());
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
    const CaptureOutcome first = QCoro::waitFor(capturer.capture());
    const CaptureOutcome second = QCoro::waitFor(capturer.capture());
    EXPECT_TRUE(std::holds_alternative<CapturedImage>(first));
    EXPECT_TRUE(std::holds_alternative<CapturedImage>(second));
    EXPECT_GE(ticks, 10);
    const QStringList paths = calls();
    ASSERT_EQ(paths.size(), 2);
    EXPECT_NE(paths.at(0), paths.at(1));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST(CaptureOutcome, ImagesAreEqualOnlyAsTheSameObject)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QImage samePixels = image.copy();
    const ExactRect region{1, 2, 3, 4};
    EXPECT_EQ(CaptureOutcome(CapturedImage{image, region}),
              CaptureOutcome(CapturedImage{QImage(image), region}));
    EXPECT_NE(CaptureOutcome(CapturedImage{image, region}),
              CaptureOutcome(CapturedImage{samePixels, region}));
    EXPECT_NE(CaptureOutcome(CapturedImage{image, region}),
              CaptureOutcome(CapturedImage{image, std::nullopt}));
    EXPECT_NE(CaptureOutcome(CaptureFailed{QStringLiteral("a")}),
              CaptureOutcome(CaptureFailed{QStringLiteral("b")}));
    EXPECT_NE(CaptureOutcome(CaptureCancelled{}), CaptureOutcome(CaptureFailed{}));
}

TEST(EstimatedRegion, ThePointerIsTheBottomRightCornerScaledByItsScreen)
{
    const QList<ScreenGeometry> retina{{QRect(0, 0, 1440, 900), 2.0}};
    EXPECT_EQ(ScreencaptureCLICapturer::estimatedRegion(QSize(400, 200), QPoint(1000, 500), retina),
              (ExactRect{800, 400, 200, 100}));
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
    const QList<ScreenGeometry> fractional{{QRect(0, 0, 1280, 720), 1.5}};
    EXPECT_EQ(
        ScreencaptureCLICapturer::estimatedRegion(QSize(300, 150), QPoint(400, 300), fractional),
        (ExactRect{200, 200, 200, 100}));
}

TEST(ChooseTool, TheFirstInstalledToolInTheDesktopsOrderWins)
{
    const auto installed = [](QSet<QString> names) {
        return [names](const QString &name) {
            return names.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        };
    };
    const auto environment = [](const QString &desktop, const QString &session) {
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), session);
        return env;
    };
    const QSet<QString> everything{QStringLiteral("spectacle"), QStringLiteral("gnome-screenshot"),
                                   QStringLiteral("maim"), QStringLiteral("scrot"),
                                   QStringLiteral("xfce4-screenshooter")};
    const QString path = QStringLiteral("{path}");

    EXPECT_EQ(
        ScreencaptureCLICapturer::chooseTool(
            environment(QStringLiteral("KDE"), QStringLiteral("wayland")), installed(everything)),
        (CaptureTool{QStringLiteral("/usr/bin/spectacle"),
                     {QStringLiteral("-i"), QStringLiteral("-b"), QStringLiteral("-n"),
                      QStringLiteral("-r"), QStringLiteral("-o"), path}}));
    EXPECT_EQ(ScreencaptureCLICapturer::chooseTool(
                  environment(QStringLiteral("ubuntu:GNOME"), QStringLiteral("x11")),
                  installed(everything)),
              (CaptureTool{QStringLiteral("/usr/bin/gnome-screenshot"),
                           {QStringLiteral("-a"), QStringLiteral("-f"), path}}));
    // Under Wayland X11 tools would capture Wayland windows black: GNOME has only its portal,
    // wlroots compositors slurp and grim.
    EXPECT_EQ(
        ScreencaptureCLICapturer::chooseTool(
            environment(QStringLiteral("GNOME"), QStringLiteral("wayland")), installed(everything)),
        std::nullopt);
    const QSet<QString> withWlroots =
        everything +
        QSet<QString>{QStringLiteral("sh"), QStringLiteral("slurp"), QStringLiteral("grim")};
    const auto swayTool = ScreencaptureCLICapturer::chooseTool(
        environment(QStringLiteral("sway"), QStringLiteral("wayland")), installed(withWlroots));
    ASSERT_TRUE(swayTool);
    EXPECT_EQ(swayTool->program, QStringLiteral("/usr/bin/sh"));
    EXPECT_EQ(swayTool->requiredPrograms,
              (QStringList{QStringLiteral("slurp"), QStringLiteral("grim")}));
    EXPECT_EQ(ScreencaptureCLICapturer::chooseTool(
                  environment(QStringLiteral("sway"), QStringLiteral("wayland")),
                  installed(withWlroots - QSet<QString>{QStringLiteral("grim")})),
              std::nullopt);
    // A plain window manager: maim.
    const CaptureTool maim{QStringLiteral("/usr/bin/maim"), {QStringLiteral("-s"), path}};
    EXPECT_EQ(ScreencaptureCLICapturer::chooseTool(environment({}, QStringLiteral("x11")),
                                                   installed(everything)),
              maim);
    // KDE without spectacle falls through too.
    EXPECT_EQ(ScreencaptureCLICapturer::chooseTool(
                  environment(QStringLiteral("KDE"), QStringLiteral("x11")),
                  installed({QStringLiteral("maim"), QStringLiteral("scrot")})),
              maim);
    EXPECT_EQ(ScreencaptureCLICapturer::chooseTool(
                  environment(QStringLiteral("XFCE"), QStringLiteral("x11")),
                  installed({QStringLiteral("scrot"), QStringLiteral("xfce4-screenshooter")})),
              (CaptureTool{QStringLiteral("/usr/bin/scrot"),
                           {QStringLiteral("-s"), QStringLiteral("-o"), path}}));
    EXPECT_EQ(ScreencaptureCLICapturer::chooseTool(
                  environment(QStringLiteral("XFCE"), QStringLiteral("x11")),
                  installed({QStringLiteral("xfce4-screenshooter")})),
              (CaptureTool{QStringLiteral("/usr/bin/xfce4-screenshooter"),
                           {QStringLiteral("-r"), QStringLiteral("-s"), path}}));
    EXPECT_EQ(ScreencaptureCLICapturer::chooseTool(
                  environment(QStringLiteral("KDE"), QStringLiteral("x11")), installed({})),
              std::nullopt);

    const CaptureTool withPath{QStringLiteral("maim"), {QStringLiteral("-s"), path}};
    EXPECT_EQ(withPath.argumentsFor(QStringLiteral("/c/capture-1.png")),
              (QStringList{QStringLiteral("-s"), QStringLiteral("/c/capture-1.png")}));
}
