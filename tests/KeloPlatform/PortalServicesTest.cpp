// SPDX-License-Identifier: GPL-3.0-or-later
// The portal backend's services against Debian's real xdg-desktop-portal front end, over the
// scripted back ends of kelo-mock-portal on a private bus.

#include "KeloPlatform/portal/PortalKeyGrabber.h"
#include "KeloPlatform/portal/PortalScreenshotService.h"
#include "KeloPlatform/portal/PortalSyntheticKeys.h"
#include "support/PortalBus.h"
#include "support/TestSupport.h"

#include <QCoro/QCoroTask>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using KeloPlatform::Screenshot;

namespace {

QCoro::Task<> take(KeloPlatform::ScreenshotService &service, std::optional<Screenshot> &result)
{
    result = co_await service.takeInteractive();
}

class Portal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!bus.isReady()) {
            GTEST_SKIP() << bus.problem().toStdString();
        }
    }

    // Runs the service's screenshot to its end while the event loop turns.
    Screenshot takeScreenshot(KeloPlatform::ScreenshotService &service)
    {
        std::optional<Screenshot> result;
        auto task = take(service, result);
        KeloTest::waitUntil([&] { return result.has_value(); }, 20s);
        return result.value_or(Screenshot{Screenshot::Status::failed, {}, false, "hung"});
    }

    bool callsContain(const QString &line)
    {
        return KeloTest::waitUntil([&] { return bus.calls().contains(line); }, 5s);
    }

    KeloTest::PortalBus bus;
};

} // namespace

TEST_F(Portal, ScreenshotIsInteractiveAndTellsOwnedFilesFromTheUsers)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("Screenshot.png"));
    ASSERT_TRUE(QImage(40, 20, QImage::Format_RGB32).save(picture));
    KeloPlatform::PortalScreenshotService service(bus.connection());
    ASSERT_TRUE(service.isAvailable());

    // A file the desktop made for this request is the caller's to delete.
    bus.setScreenshotFile(picture, true);
    const Screenshot fresh = takeScreenshot(service);
    ASSERT_EQ(fresh.status, Screenshot::Status::saved) << fresh.message.toStdString();
    EXPECT_TRUE(fresh.isOwnedByCaller);
    EXPECT_NE(fresh.path, picture);
    EXPECT_TRUE(QFileInfo::exists(fresh.path));
    // What reached the desktop's side, through the real front end.
    EXPECT_EQ(bus.calls().filter(QStringLiteral("Screenshot interactive=true modal=true")).size(),
              1)
        << bus.calls().join(u'\n').toStdString();

    // One that was there before is the user's.
    bus.setScreenshotFile(picture, false);
    const Screenshot existing = takeScreenshot(service);
    ASSERT_EQ(existing.status, Screenshot::Status::saved);
    EXPECT_EQ(existing.path, QFileInfo(picture).absoluteFilePath());
    EXPECT_FALSE(existing.isOwnedByCaller);
}

TEST_F(Portal, ScreenshotCancelFailureAndSilenceAreTold)
{
    KeloPlatform::PortalScreenshotService service(bus.connection(), 1500ms);
    bus.setAnswer(QStringLiteral("Screenshot"), QStringLiteral("cancel"));
    EXPECT_EQ(takeScreenshot(service).status, Screenshot::Status::cancelled);

    bus.setAnswer(QStringLiteral("Screenshot"), QStringLiteral("fail"));
    const Screenshot failed = takeScreenshot(service);
    EXPECT_EQ(failed.status, Screenshot::Status::failed);
    EXPECT_EQ(failed.message, QStringLiteral("The desktop couldn't take the screenshot."));

    // A desktop that never answers: the request is given up and its dialog closed.
    bus.setAnswer(QStringLiteral("Screenshot"), QStringLiteral("silent"));
    const Screenshot silent = takeScreenshot(service);
    EXPECT_EQ(silent.status, Screenshot::Status::failed);
    EXPECT_TRUE(
        silent.message.startsWith(QStringLiteral("The desktop's screenshot service didn't")))
        << silent.message.toStdString();
    EXPECT_TRUE(callsContain(QStringLiteral("Request.Close")))
        << bus.calls().join(u'\n').toStdString();

    // No bus at all: not a crash, a message.
    KeloPlatform::PortalScreenshotService unreachable(QDBusConnection(QStringLiteral("none")));
    EXPECT_FALSE(unreachable.isAvailable());
    const Screenshot nothing = takeScreenshot(unreachable);
    EXPECT_EQ(nothing.status, Screenshot::Status::failed);
    EXPECT_TRUE(nothing.message.contains(QStringLiteral("xdg-desktop-portal")));
}

TEST_F(Portal, ScreenshotPermissionComesFromTheStore)
{
    KeloPlatform::PortalScreenshotService service(bus.connection());
    EXPECT_EQ(service.storedPermission(), std::nullopt) << "nothing stored: the desktop asks";
    ASSERT_TRUE(bus.storeScreenshotPermission(QString(), QStringLiteral("yes")));
    EXPECT_EQ(service.storedPermission(), true);
    ASSERT_TRUE(bus.storeScreenshotPermission(QStringLiteral("app.kelolens.KeloLens"),
                                              QStringLiteral("no")));
    EXPECT_EQ(service.storedPermission(), false) << "a refusal under either name wins";
    // Forgetting the refusal lets the desktop ask again; the other name's answer stays.
    EXPECT_TRUE(service.canForgetRefusal());
    EXPECT_TRUE(service.forgetRefusal());
    EXPECT_EQ(service.storedPermission(), true);
    EXPECT_FALSE(service.forgetRefusal()) << "nothing refused any more";
}

namespace {

struct ShortcutAnswers
{
    std::vector<std::pair<uint32_t, KeloPlatform::GrabAnswer>> answers;
    std::vector<uint32_t> presses;
};

void watch(KeloPlatform::KeyGrabber &grabber, ShortcutAnswers &log)
{
    grabber.onAnswered = [&log](uint32_t id, const KeloPlatform::GrabAnswer &answer) {
        log.answers.emplace_back(id, answer);
    };
    grabber.onPressed = [&log](uint32_t id) { log.presses.push_back(id); };
}

// Control, Shift and the key 2 (evdev 3).
const KeloPlatform::KeyChord controlShift2{3, true, false, true, false};

} // namespace

TEST_F(Portal, ShortcutBoundAsPreferredFiresAndGoesWithItsSession)
{
    KeloPlatform::PortalKeyGrabber grabber(bus.connection(), nullptr);
    ShortcutAnswers log;
    watch(grabber, log);
    ASSERT_TRUE(grabber.isAvailable());
    ASSERT_TRUE(grabber.answersLater());
    ASSERT_TRUE(grabber.grab(1, controlShift2));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !log.answers.empty(); }, 10s));
    EXPECT_EQ(log.answers.front().first, 1u);
    EXPECT_TRUE(log.answers.front().second.isTaken);
    EXPECT_EQ(log.answers.front().second.trigger, QStringLiteral("CTRL+SHIFT+2"));
    EXPECT_TRUE(bus.calls().contains(QStringLiteral("GlobalShortcuts.BindShortcuts capture "
                                                    "CTRL+SHIFT+2")))
        << bus.calls().join(u'\n').toStdString();

    bus.activate(QStringLiteral("capture"));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !log.presses.empty(); }));
    EXPECT_EQ(log.presses, std::vector<uint32_t>{1});

    grabber.release(1);
    EXPECT_TRUE(callsContain(QStringLiteral("Session.Close")));
    bus.activate(QStringLiteral("capture"));
    KeloTest::waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(log.presses.size(), 1u) << "a released shortcut does not fire";
}

TEST_F(Portal, TheDesktopsAnswerDecidesWhetherTheShortcutIsTaken)
{
    KeloPlatform::PortalKeyGrabber grabber(bus.connection(), nullptr, 1500ms);
    ShortcutAnswers log;
    watch(grabber, log);
    const auto answerTo = [&](const QString &script, uint32_t id) {
        bus.setAnswer(QStringLiteral("BindShortcuts"), script);
        const size_t before = log.answers.size();
        EXPECT_TRUE(grabber.grab(id, controlShift2));
        KeloTest::waitUntil([&] { return log.answers.size() > before; }, 10s);
        return log.answers.size() > before ? std::optional(log.answers.back().second)
                                           : std::nullopt;
    };

    // The user picked another trigger in the desktop's dialog: it works, under that trigger.
    const auto other = answerTo(QStringLiteral("other-trigger"), 1);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->isTaken);
    EXPECT_EQ(other->trigger, QStringLiteral("Ctrl+Alt+K"));

    for (const QString &refusal : {QStringLiteral("no-trigger"), QStringLiteral("cancel"),
                                   QStringLiteral("fail"), QStringLiteral("silent")}) {
        const auto answer = answerTo(refusal, 2);
        ASSERT_TRUE(answer) << refusal.toStdString();
        EXPECT_FALSE(answer->isTaken) << refusal.toStdString();
        EXPECT_FALSE(answer->reason.isEmpty()) << refusal.toStdString();
    }
    // A refused grab is already given back, so the number may be asked for again.
    bus.setAnswer(QStringLiteral("BindShortcuts"), QStringLiteral("success"));
    EXPECT_TRUE(grabber.grab(2, controlShift2));
}

TEST_F(Portal, KeysAreSentAsSymbolsOnlyOnceTheUserAllowedThem)
{
    KeloPlatform::PortalSyntheticKeys keys(bus.connection(), 3s);
    EXPECT_FALSE(keys.isAvailable());
    EXPECT_FALSE(keys.sendCharacterWithControl(U'v', 47));

    bus.setAnswer(QStringLiteral("Start"), QStringLiteral("cancel"));
    keys.requestAccess();
    ASSERT_TRUE(callsContain(QStringLiteral("RemoteDesktop.Start")));
    KeloTest::waitUntil([] { return false; }, 300ms);
    EXPECT_FALSE(keys.isAvailable()) << "the user declined";

    bus.setAnswer(QStringLiteral("Start"), QStringLiteral("success"));
    keys.requestAccess();
    ASSERT_TRUE(KeloTest::waitUntil([&] { return keys.isAvailable(); }, 10s));
    EXPECT_TRUE(bus.calls().contains(QStringLiteral("RemoteDesktop.SelectDevices types=1")));
    ASSERT_TRUE(keys.sendCharacterWithControl(U'v', 47));
    const QStringList expected{
        QStringLiteral("RemoteDesktop.NotifyKeyboardKeysym 65507 1"),
        QStringLiteral("RemoteDesktop.NotifyKeyboardKeysym 118 1"),
        QStringLiteral("RemoteDesktop.NotifyKeyboardKeysym 118 0"),
        QStringLiteral("RemoteDesktop.NotifyKeyboardKeysym 65507 0"),
    };
    ASSERT_TRUE(KeloTest::waitUntil([&] { return bus.calls().endsWith(expected.last()); }))
        << bus.calls().join(u'\n').toStdString();
    EXPECT_EQ(bus.calls().mid(bus.calls().size() - 4), expected);

    // The desktop ends the session (the user revoked it): no more keys.
    bus.closeSessions();
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !keys.isAvailable(); }));
    EXPECT_FALSE(keys.sendCharacterWithControl(U'v', 47));
}
