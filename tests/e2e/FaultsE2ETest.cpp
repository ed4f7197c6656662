// SPDX-License-Identifier: GPL-3.0-or-later
// Faults injected into the real kelolens: a region tool that dies or writes a broken or huge
// image, a cache folder that cannot be written, a garbled settings file, the X server going away
// and the clipboard changing hands during a paste. Each ends in a message or the specified
// outcome, leaves no capture on disk, and the app answers its shortcut afterwards.
#include "AppFixture.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>

#include <csignal>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace KeloE2E;
using KeloTest::pressKeys;
using KeloTest::runProgram;

namespace {

const QString sceneText = QStringLiteral("Invoice 2417 is due in March");

bool hasEnded(pid_t pid)
{
    return KeloTest::waitUntil(
        [pid] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); }, 5s);
}

class FaultsE2E : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        // The stand-in tool writes the image the file "next" names, once; else the real tool runs.
        m_faults = m_app.home() + QStringLiteral("/faults");
        QDir().mkpath(m_faults);
        m_app.replaceRegionTool(
            QStringLiteral("dir='%1'\n"
                           "fault=$(cat \"$dir/next\" 2>/dev/null)\n"
                           "rm -f \"$dir/next\"\n"
                           "[ -z \"$fault\" ] && exec \"$KELO_REAL_TOOL\" \"$@\"\n"
                           // A tool that says it failed but exits 0, as Spectacle does.
                           "[ \"$fault\" = error ] && { echo 'request failed: no screen' >&2; "
                           "exit 0; }\n"
                           "cp \"$dir/$fault.png\" \"$2\"")
                .arg(m_faults));
    }

    void injectFault(const QString &fault) const
    {
        QFile next(m_faults + QStringLiteral("/next"));
        ASSERT_TRUE(next.open(QIODevice::WriteOnly));
        next.write(fault.toUtf8());
    }

    [[nodiscard]] bool capturesFolderIsEmpty() const
    {
        return QDir(m_app.capturesFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    QString m_faults;
};

} // namespace

TEST_F(FaultsE2E, ARegionToolKilledMidSelectionEndsTheCaptureAndIsLoggedAsKilled)
{
    ASSERT_TRUE(startAndWaitForShortcut());
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return isRegionToolRunning(); }, 10s));
    const auto tool = pid_t(*m_app.child(QStringLiteral("maim")));
    KeloTest::processEventsFor(500ms);
    // The user is half way through a drag.
    (void)KeloTest::xdotool({QStringLiteral("mousemove"), QStringLiteral("200"),
                             QStringLiteral("200"), QStringLiteral("mousedown"),
                             QStringLiteral("1"), QStringLiteral("mousemove"),
                             QStringLiteral("400"), QStringLiteral("300")});
    ASSERT_EQ(::kill(tool, SIGKILL), 0);
    EXPECT_TRUE(m_app.waitForLog(
        QStringLiteral("KeloLens: screencapture was killed by signal 9 and left no file")));
    (void)KeloTest::xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    EXPECT_TRUE(capturesFolderIsEmpty());
    EXPECT_TRUE(answersShortcut());
}

// A region tool that leaves no file but an error is a failure, not a cancel: the user is told,
// and the log says what the tool said.
TEST_F(FaultsE2E, ARegionToolThatPrintsAnErrorAndWritesNoFileEndsInAMessage)
{
    ASSERT_TRUE(startAndWaitForShortcut());
    injectFault(QStringLiteral("error"));
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    EXPECT_TRUE(toastShows(QStringLiteral("capture couldn't be taken")));
    EXPECT_TRUE(m_app.waitForLog(QStringLiteral("request failed: no screen")));
    EXPECT_TRUE(capturesFolderIsEmpty());
}

TEST_F(FaultsE2E, ATruncatedOrHugeImageEndsInAMessageAndTheNextCaptureReadsText)
{
    // The first half of a real capture's PNG, and a 16384 x 16384 one (1 GiB once decoded).
    QImage text(600, 120, QImage::Format_RGB32);
    text.fill(Qt::white);
    QPainter(&text).drawText(text.rect(), Qt::AlignCenter, sceneText);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    ASSERT_TRUE(text.save(&png, "PNG"));
    QFile truncated(m_faults + QStringLiteral("/truncated.png"));
    ASSERT_TRUE(truncated.open(QIODevice::WriteOnly));
    truncated.write(png.data().left(png.data().size() / 2));
    truncated.close();
    QImage huge(16384, 16384, QImage::Format_Mono);
    huge.fill(1);
    ASSERT_TRUE(huge.save(m_faults + QStringLiteral("/huge.png")));
    huge = {};

    ASSERT_TRUE(startAndWaitForShortcut());
    injectFault(QStringLiteral("truncated"));
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    EXPECT_TRUE(toastShows(QStringLiteral("capture couldn")));
    EXPECT_TRUE(capturesFolderIsEmpty());

    injectFault(QStringLiteral("huge"));
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    EXPECT_TRUE(toastShows(QStringLiteral("over 132 megapixels")));
    EXPECT_TRUE(capturesFolderIsEmpty());

    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(scene->geometry.adjusted(4, 4, -4, -4)));
    EXPECT_TRUE(waitForClipboard(sceneText)) << clipboardText().toStdString();
}

TEST_F(FaultsE2E, AReadOnlyCacheFolderEndsTheCaptureWithAMessage)
{
    const QString cache = m_app.environment().value(QStringLiteral("XDG_CACHE_HOME"));
    ASSERT_TRUE(QFile::setPermissions(cache, QFile::ReadOwner | QFile::ExeOwner));
    // Root writes into read-only folders anyway; the app this test starts may not. Only the
    // programs this test process starts from now on lose the right.
    if (::geteuid() == 0) {
        ASSERT_EQ(::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0), 0);
    }
    ASSERT_TRUE(startAndWaitForShortcut());
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    EXPECT_TRUE(toastShows(QStringLiteral("create the capture folder")));
    EXPECT_FALSE(isRegionToolRunning());

    // Once the folder can be written again, the next capture runs.
    ASSERT_TRUE(
        QFile::setPermissions(cache, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(answersShortcut());
}

TEST_F(FaultsE2E, AGarbledSettingsFileGivesTheDefaults)
{
    QFile settings(m_app.settingsFile());
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QByteArray noise(4096, '\0');
    QRandomGenerator random(13);
    for (char &byte : noise) {
        byte = char(random.bounded(256));
    }
    // Every key with a value of the wrong kind, serialized Qt values made of noise, and noise.
    settings.write("[General]\nhotKey=@Variant(" + noise.left(64) +
                   ")\nplaySound=@Rect(1 2 3 4)\nshowPanel=maybe\npanelPosition=@ByteArray(" +
                   noise.mid(64, 32) + ")\nrecognitionLanguages=@Variant(" + noise.mid(96, 512) +
                   ")\nlineBreaks=42\nhasCompletedOnboarding=@Point(1 2)\n[" + noise.mid(608) +
                   "\n");
    settings.close();

    ASSERT_TRUE(startAndWaitForShortcut());
    // First launch again: onboarding opens, since whether it was finished cannot be read.
    EXPECT_TRUE(KeloTest::waitUntil(
        [] { return !windowsNamed(QStringLiteral("Welcome to KeloLens")).isEmpty(); }, 15s));
    EXPECT_TRUE(answersShortcut());
}

TEST_F(FaultsE2E, ThePastedTextArrivesWhileTheClipboardChangesHands)
{
    const auto field =
        showScene({QStringLiteral("--field"), QStringLiteral("--at"), QStringLiteral("900,600")});
    ASSERT_TRUE(field);
    const auto scene = showScene({QStringLiteral("--text"), sceneText});
    ASSERT_TRUE(scene);
    ASSERT_TRUE(KeloTest::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                   QString::number(field->window)}));
    ASSERT_TRUE(startAndWaitForShortcut());
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(selectRegion(scene->geometry.adjusted(4, 4, -4, -4)));
    ASSERT_TRUE(waitForClipboard(sceneText));
    ASSERT_TRUE(KeloTest::waitUntil([] { return resultsPanel().has_value(); }, 10s));

    // A clipboard manager that takes over whatever is copied, again and again, so the
    // owner changes between the app's write and the target's read.
    QProcess manager;
    manager.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("while :; do xclip -o -selection clipboard | "
                                              "xclip -i -selection clipboard; sleep 0.01; done")});
    ASSERT_TRUE(manager.waitForStarted());
    KeloTest::processEventsFor(300ms);
    ASSERT_TRUE(pressKeys({QStringLiteral("Return")}));
    EXPECT_EQ(field->helper->waitForLine(QStringLiteral("text Invoice"), 10s),
              QStringLiteral(" 2417 is due in March"));
    manager.kill();
    manager.waitForFinished();
    // The last xclip serves the clipboard until someone else owns it.
    QGuiApplication::clipboard()->setText(QStringLiteral("done"));
    KeloTest::processEventsFor(200ms);
    EXPECT_TRUE(answersShortcut());
}

// The app runs on an X server of its own, which goes away in the middle of a capture.
TEST(FaultsE2EXServer, WhenTheXServerGoesAwayTheAppEndsAndLeavesNothingBehind)
{
    int display = 150;
    while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)) ||
           QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
        ++display;
    }
    QProcess server;
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral(":%1").arg(display), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    ASSERT_TRUE(KeloTest::waitUntil(
        [&] { return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)); }, 10s));

    AppUnderTest app;
    app.presetSetting(QStringLiteral("hasCompletedOnboarding=true"));
    QProcessEnvironment environment = app.environment();
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display));
    app.setEnvironment(environment);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.waitForLog(QStringLiteral("launched")));
    ASSERT_EQ(app.launchAgain({QStringLiteral("--capture")}), 0);
    ASSERT_TRUE(
        KeloTest::waitUntil([&] { return app.child(QStringLiteral("maim")).has_value(); }, 10s));
    const auto tool = pid_t(*app.child(QStringLiteral("maim")));

    server.terminate();
    ASSERT_TRUE(server.waitForFinished(5000));
    const std::optional<int> exitCode = app.waitForExit(10s);
    EXPECT_TRUE(exitCode.has_value()) << "kelolens kept running without its X server";
    EXPECT_TRUE(hasEnded(tool));
    const QString home = app.environment().value(QStringLiteral("HOME"));
    EXPECT_TRUE(QDir(app.capturesFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    EXPECT_TRUE(QDir(home + QStringLiteral("/runtime"))
                    .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << qPrintable(QDir(home + QStringLiteral("/runtime")).entryList().join(u' '));
    if (HasFailure()) {
        std::fprintf(stderr, "kelolens said:\n%s\n", qPrintable(app.log().join(u'\n')));
    }
}
