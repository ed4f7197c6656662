// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/PortalScreenCapturer.h"

#include "KeloLens/Capture/CapturerChoice.h"
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"
#include "KeloLens/Capture/SystemPermissionChecker.h"
#include "KeloPlatform/ScreenshotService.h"
#include "support/TestSupport.h"
#include "support/fakes/PlatformFakes.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using KeloPlatform::Screenshot;
using namespace std::chrono_literals;

namespace {

class PortalCapture : public ::testing::Test
{
protected:
    QString captures() const { return m_dir.filePath(QStringLiteral("captures")); }

    // A picture where the desktop would leave one.
    QString picture(const QString &name, QSize size = QSize(40, 20)) const
    {
        const QString path = m_dir.filePath(name);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    CaptureOutcome capture()
    {
        PortalScreenCapturer capturer(screenshots, captures());
        return QCoro::waitFor(capturer.capture());
    }

    bool capturesAreEmpty() const
    {
        return QDir(captures())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
            .isEmpty();
    }

    QTemporaryDir m_dir;
    KeloTest::FakeScreenshotService screenshots;
};

} // namespace

TEST_F(PortalCapture, ReadsTheDesktopsFileAndDeletesOnlyWhatIsOurs)
{
    // Three screens side by side: beyond what Qt decodes by default.
    const QSize wide(15360, 2880);
    const QString made = picture(QStringLiteral("made-for-us.png"), wide);
    screenshots.next = {Screenshot::Status::saved, made, true, {}};
    const CaptureOutcome fromOurs = capture();
    ASSERT_TRUE(std::holds_alternative<CapturedImage>(fromOurs)) << fromOurs.index();
    const CapturedImage &image = std::get<CapturedImage>(fromOurs);
    EXPECT_EQ(image.image.size(), wide);
    EXPECT_EQ(image.region, std::nullopt) << "the desktop does not say where the selection was";
    EXPECT_FALSE(QFileInfo::exists(made));
    EXPECT_TRUE(capturesAreEmpty());
    EXPECT_EQ(QFileInfo(captures()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

    // A picture the user already had stays where it was.
    const QString users = picture(QStringLiteral("Screenshot from today.png"));
    screenshots.next = {Screenshot::Status::saved, users, false, {}};
    EXPECT_TRUE(std::holds_alternative<CapturedImage>(capture()));
    EXPECT_TRUE(QFileInfo::exists(users));
    EXPECT_TRUE(capturesAreEmpty());
}

TEST_F(PortalCapture, CancelsFailuresAndUnreadableFilesBecomeOutcomes)
{
    screenshots.next = {Screenshot::Status::cancelled, {}, false, {}};
    EXPECT_EQ(capture(), CaptureOutcome(CaptureCancelled{}));

    screenshots.next = {Screenshot::Status::failed, {}, false, QStringLiteral("No portal here.")};
    EXPECT_EQ(capture(), CaptureOutcome(CaptureFailed{QStringLiteral("No portal here.")}));

    const QString broken = m_dir.filePath(QStringLiteral("broken.png"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();
    screenshots.next = {Screenshot::Status::saved, broken, true, {}};
    EXPECT_EQ(capture(),
              CaptureOutcome(CaptureFailed{QStringLiteral("The capture couldn't be read")}));
    EXPECT_FALSE(QFileInfo::exists(broken));

    screenshots.next = {
        Screenshot::Status::saved, m_dir.filePath(QStringLiteral("gone.png")), false, {}};
    EXPECT_EQ(capture(),
              CaptureOutcome(CaptureFailed{QStringLiteral("The capture couldn't be read")}));
    EXPECT_TRUE(capturesAreEmpty());

    // Cancelled while the desktop asks: what it hands back afterwards is dropped.
    const QString late = picture(QStringLiteral("late.png"));
    screenshots.next = {Screenshot::Status::saved, late, true, {}};
    screenshots.delay = 50ms;
    PortalScreenCapturer capturer(screenshots, captures());
    QCoro::Task<CaptureOutcome> pending = capturer.capture();
    capturer.cancel();
    EXPECT_EQ(QCoro::waitFor(pending), CaptureOutcome(CaptureCancelled{}));
    EXPECT_FALSE(QFileInfo::exists(late));
    EXPECT_TRUE(capturesAreEmpty());
}

TEST_F(PortalCapture, AStoredRefusalIsTheOnlyThingThatDeniesAccess)
{
    SystemPermissionChecker checker(&screenshots);
    EXPECT_TRUE(checker.isScreenRecordingGranted()) << "nothing stored: the desktop asks";
    EXPECT_TRUE(checker.isAskedAtCapture());
    screenshots.permission = true;
    EXPECT_TRUE(checker.isScreenRecordingGranted());
    EXPECT_FALSE(checker.isAskedAtCapture());
    screenshots.permission = false;
    EXPECT_FALSE(checker.isScreenRecordingGranted());
    EXPECT_FALSE(checker.canRequestScreenRecording()) << "the store would not let it go";
    screenshots.canForget = true;
    EXPECT_TRUE(checker.canRequestScreenRecording());
    EXPECT_TRUE(checker.requestScreenRecording());
    EXPECT_EQ(checker.screenAccess(), ScreenAccess::askedAtCapture) << "asked again, not granted";
    EXPECT_EQ(SystemPermissionChecker().screenAccess(), ScreenAccess::notNeeded);
}

TEST(CapturerChoice, TheFirstInstalledToolOfTheDesktopAndNeverAnX11ToolUnderWayland)
{
    KeloTest::FakeScreenshotService screenshots;
    const QStringList all{QStringLiteral("spectacle"),
                          QStringLiteral("gnome-screenshot"),
                          QStringLiteral("maim"),
                          QStringLiteral("scrot"),
                          QStringLiteral("xfce4-screenshooter"),
                          QStringLiteral("sh"),
                          QStringLiteral("slurp"),
                          QStringLiteral("grim")};
    // The program of the chosen region tool; "portal" for the desktop's screenshot portal.
    const auto chosen = [&](const char *desktop, const char *session, bool hasWayland,
                            const QStringList &installed) {
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QString::fromLatin1(desktop));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QString::fromLatin1(session));
        if (hasWayland) {
            env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
        }
        const auto capturer = createScreenCapturer(screenshots, env, [&](const QString &name) {
            return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        });
        if (dynamic_cast<PortalScreenCapturer *>(capturer.get()) != nullptr) {
            return QStringLiteral("portal");
        }
        const auto &tool = dynamic_cast<ScreencaptureCLICapturer &>(*capturer).tool();
        return tool ? tool->program.mid(9) : QString();
    };
    // GNOME under Wayland lets only its portal select a region; wlroots compositors get slurp
    // and grim, run together by the shell, when both are there. The Wayland display tells even
    // without a session type.
    EXPECT_EQ(chosen("GNOME", "wayland", true, all), "portal");
    EXPECT_EQ(chosen("KDE", "wayland", true, all), "spectacle");
    EXPECT_EQ(chosen("sway", "", true, all), "sh");
    EXPECT_EQ(chosen("sway", "wayland", true, all.mid(0, 7)), "portal");
    EXPECT_EQ(chosen("ubuntu:GNOME", "x11", false, all), "gnome-screenshot");
    EXPECT_EQ(chosen("XFCE", "x11", false, all), "maim");
    EXPECT_EQ(chosen("KDE", "x11", false, all.mid(3)), "scrot");
    EXPECT_EQ(chosen("KDE", "x11", false, {}), QString()) << "no tool: the capture says so";
}
