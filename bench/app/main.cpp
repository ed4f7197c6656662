// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-bench-app: the application's own figures, measured on the real kelolens under the test X
// server. Twenty captures of a 600 x 300 region of text, each timed from the moment the region
// tool has written its file to the moment the clipboard holds the text, and the resident memory
// at idle after start, after the captures, and a minute later.
#include "AppUnderTest.h"
#include "Desktop.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

using namespace KeloE2E;
using KeloTest::pressKeys;
using namespace std::chrono_literals;

namespace {

constexpr int captureCount = 20;
constexpr int regionWidth = 600;
constexpr int regionHeight = 300;

const QStringList lines{
    QStringLiteral("Quarterly report, draft three"),
    QStringLiteral("Revenue rose 12% against the spring"),
    QStringLiteral("Call Dana before Friday at noon"),
    QStringLiteral("See https://example.com/q3 for details"),
    QStringLiteral("Next review: 14 October, room 2.04"),
};

qint64 wallClockNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

qint64 residentKilobytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

double percentile(QList<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = qsizetype(std::ceil(fraction * double(values.size()))) - 1;
    return values.at(std::clamp<qsizetype>(index, 0, values.size() - 1));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QTemporaryDir stampFolder;
    const QString stamps = stampFolder.filePath(QStringLiteral("stamps"));

    QStringList sceneArguments;
    for (const QString &line : lines) {
        sceneArguments << QStringLiteral("--text") << line;
    }
    const auto scene = showScene(sceneArguments);
    if (!scene) {
        std::fprintf(stderr, "the text window did not appear\n");
        return 1;
    }
    const QRect region(scene->geometry.topLeft() + QPoint(2, 2), QSize(regionWidth, regionHeight));

    AppUnderTest app;
    app.presetSetting(QStringLiteral("hasCompletedOnboarding=true"));
    // The real region tool runs, then the moment it ended (its file written) is appended to a
    // file, in nanoseconds of the wall clock this program reads too.
    app.replaceRegionTool(QStringLiteral("\"$KELO_REAL_TOOL\" \"$@\"\nstatus=$?\n"
                                         "date +%s%N >> \"%1\"\nexit $status")
                              .arg(stamps));
    if (!app.start() || !app.waitForLog(QStringLiteral("launched, shortcut"))) {
        std::fprintf(stderr, "kelolens did not start\n");
        return 1;
    }
    KeloTest::processEventsFor(3s);
    const qint64 idleAtStart = residentKilobytes(app.processId());

    QClipboard *clipboard = QGuiApplication::clipboard();
    qint64 changedAt = 0;
    QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) {
            changedAt = wallClockNanoseconds();
        }
    });

    // One capture; the time from the region tool writing its file to the clipboard changing.
    const auto timeOneCapture = [&](int capture) -> std::optional<double> {
        QFile::remove(stamps);
        changedAt = 0;
        // Something else on the clipboard, so that every capture changes it.
        clipboard->setText(QStringLiteral("before %1").arg(capture));
        KeloTest::processEventsFor(200ms);
        changedAt = 0;
        (void)pressKeys({QStringLiteral("ctrl+shift+2")});
        if (!KeloTest::waitUntil([] { return isProgramRunning(QStringLiteral("maim")); }, 10s)) {
            std::fprintf(stderr, "capture %d: the region tool did not start\n", capture + 1);
            return std::nullopt;
        }
        KeloTest::processEventsFor(400ms);
        drag(region.topLeft(), region.bottomRight());
        if (!KeloTest::waitUntil([&] { return changedAt != 0; }, 30s)) {
            std::fprintf(stderr, "capture %d: nothing reached the clipboard\n", capture + 1);
            return std::nullopt;
        }
        QFile stamp(stamps);
        KeloTest::waitUntil([&] { return stamp.exists() && stamp.size() > 0; }, 2s);
        stamp.open(QIODevice::ReadOnly);
        const qint64 writtenAt = stamp.readAll().trimmed().toLongLong();
        (void)pressKeys({QStringLiteral("Escape")});
        KeloTest::processEventsFor(500ms);
        return double(changedAt - writtenAt) / 1e6;
    };

    QList<double> milliseconds;
    for (int capture = 0; capture < captureCount; ++capture) {
        const std::optional<double> taken = timeOneCapture(capture);
        if (!taken) {
            return 1;
        }
        milliseconds << *taken;
    }
    const qint64 afterCaptures = residentKilobytes(app.processId());
    KeloTest::processEventsFor(60s);
    const qint64 minuteLater = residentKilobytes(app.processId());
    // The text engine was let go while idle: this capture loads it again.
    const std::optional<double> afterIdle = timeOneCapture(captureCount);
    app.stop();
    if (!afterIdle) {
        return 1;
    }

    std::printf("%-46s %10s %10s\n", "", "KeloLens", "goal");
    std::printf("%-46s %8.0f ms %7s ms\n", "file written -> clipboard, p50 (20 warm)",
                percentile(milliseconds, 0.5), "300");
    std::printf("%-46s %8.0f ms %10s\n", "file written -> clipboard, p95",
                percentile(milliseconds, 0.95), "");
    std::printf("%-46s %8.0f ms %10s\n", "file written -> clipboard, after 60 s idle", *afterIdle,
                "");
    std::printf("%-46s %8.1f MB %7s MB\n", "resident memory, idle after start",
                double(idleAtStart) / 1024, "80");
    std::printf("%-46s %8.1f MB %10s\n", "resident memory, after 20 captures",
                double(afterCaptures) / 1024, "");
    std::printf("%-46s %8.1f MB %7s MB\n", "resident memory, 60 s later",
                double(minuteLater) / 1024, "80");
    return 0;
}
