// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-bench-app: the application's own figures, measured on the real kelolens under the test X
// server, for both ways of selecting in the same run: KeloLens's own still picture and the
// desktop's region tool (maim). Twenty captures of a 600 x 300 region of text each, timed from the
// shortcut press to the selection being up and from the mouse button's release to the text on
// the clipboard; then the resident memory at idle after start, after the captures, and a minute
// later. Keys and the pointer go through XTEST from this process, so each moment is taken where
// the X server is told of it, not where a helper program starts.
#include "AppUnderTest.h"
#include "Desktop.h"
#include "XTestInput.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

using namespace KeloE2E;
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
    if (values.isEmpty()) {
        return std::nan("");
    }
    std::sort(values.begin(), values.end());
    const auto index = qsizetype(std::ceil(fraction * double(values.size()))) - 1;
    return values.at(std::clamp<qsizetype>(index, 0, values.size() - 1));
}

struct Figures
{
    QList<double> pressToSelecting;
    QList<double> releaseToClipboard;
    std::optional<double> afterIdle;
    qint64 idleAtStart = -1;
    qint64 afterCaptures = -1;
    qint64 minuteLater = -1;
};

// Twenty captures with one way of selecting; with `withMemory`, also the memory figures and one
// capture after a minute's idle.
std::optional<Figures> measure(bool isRegionTool, const QRect &region, XTestInput &input,
                               bool withMemory)
{
    QTemporaryDir stampFolder;
    const QString stamps = stampFolder.filePath(QStringLiteral("started"));
    AppUnderTest app;
    app.presetSetting(QStringLiteral("hasCompletedOnboarding=true"));
    app.presetSetting(QStringLiteral("showPanel=false"));
    if (isRegionTool) {
        app.presetSetting(QStringLiteral("selectWith=desktopTool"));
        // The moment the real region tool starts, in nanoseconds of the wall clock read here too.
        app.replaceRegionTool(
            QStringLiteral("date +%s%N >> \"%1\"\nexec \"$KELO_REAL_TOOL\" \"$@\"").arg(stamps));
    }
    if (!app.start() || !app.waitForLog(QStringLiteral("launched, shortcut"))) {
        std::fprintf(stderr, "kelolens did not start\n");
        return std::nullopt;
    }
    KeloTest::processEventsFor(3s);
    Figures figures;
    figures.idleAtStart = residentKilobytes(app.processId());

    QClipboard *clipboard = QGuiApplication::clipboard();
    qint64 changedAt = 0;
    const QMetaObject::Connection watch =
        QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard) {
                changedAt = XTestInput::now();
            }
        });
    const auto timeOneCapture = [&](int capture) -> bool {
        QFile::remove(stamps);
        // Something else on the clipboard, so that every capture changes it.
        clipboard->setText(QStringLiteral("before %1").arg(capture));
        KeloTest::processEventsFor(300ms);
        changedAt = 0;
        const qint64 pressedAt = input.pressShortcut();
        std::optional<qint64> selectingAt;
        if (isRegionTool) {
            QFile stamp(stamps);
            if (KeloTest::waitUntil([&] { return stamp.size() > 0; }, 10s) &&
                stamp.open(QIODevice::ReadOnly)) {
                selectingAt = stamp.readAll().trimmed().toLongLong();
            }
            // maim grabs the pointer a moment after it starts.
            KeloTest::processEventsFor(500ms);
        } else {
            selectingAt = input.waitForFullScreenMap(10s);
            KeloTest::processEventsFor(200ms);
        }
        if (!selectingAt) {
            std::fprintf(stderr, "capture %d: the selection did not start\n", capture + 1);
            return false;
        }
        const qint64 releasedAt = input.drag(region.topLeft(), region.bottomRight());
        if (!KeloTest::waitUntil([&] { return changedAt != 0; }, 30s)) {
            std::fprintf(stderr, "capture %d: nothing reached the clipboard\n", capture + 1);
            return false;
        }
        figures.pressToSelecting << double(*selectingAt - pressedAt) / 1e6;
        figures.releaseToClipboard << double(changedAt - releasedAt) / 1e6;
        KeloTest::processEventsFor(300ms);
        return true;
    };
    for (int capture = 0; capture < captureCount; ++capture) {
        if (!timeOneCapture(capture)) {
            return std::nullopt;
        }
    }
    figures.afterCaptures = residentKilobytes(app.processId());
    if (withMemory) {
        KeloTest::processEventsFor(60s);
        figures.minuteLater = residentKilobytes(app.processId());
        // The text engine was let go while idle: this capture loads it again.
        if (!timeOneCapture(captureCount)) {
            return std::nullopt;
        }
        figures.afterIdle = figures.releaseToClipboard.takeLast();
        figures.pressToSelecting.removeLast();
    }
    QObject::disconnect(watch);
    app.stop();
    return figures;
}

void printRow(const char *label, double own, double tool, const char *goal)
{
    std::printf("%-40s %9.0f ms %9.0f ms %9s\n", label, own, tool, goal);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    XTestInput input;
    if (!input.isReady()) {
        std::fprintf(stderr, "no X server with the keys to press\n");
        return 1;
    }
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

    const std::optional<Figures> tool = measure(true, region, input, false);
    const std::optional<Figures> own = measure(false, region, input, true);
    if (!tool || !own) {
        return 1;
    }
    std::printf("%-40s %12s %12s %9s\n", "", "own picture", "region tool", "goal");
    printRow("shortcut -> selecting, p50", percentile(own->pressToSelecting, 0.5),
             percentile(tool->pressToSelecting, 0.5), "150 ms");
    printRow("shortcut -> selecting, p95", percentile(own->pressToSelecting, 0.95),
             percentile(tool->pressToSelecting, 0.95), "");
    printRow("mouse-up -> clipboard, p50 (20 warm)", percentile(own->releaseToClipboard, 0.5),
             percentile(tool->releaseToClipboard, 0.5), "250 ms");
    printRow("mouse-up -> clipboard, p95", percentile(own->releaseToClipboard, 0.95),
             percentile(tool->releaseToClipboard, 0.95), "");
    std::printf("%-40s %9.0f ms\n", "mouse-up -> clipboard, after 60 s idle", *own->afterIdle);
    std::printf("(the region tool's \"selecting\" is its start; when it grabs the pointer is not "
                "seen)\n");
    std::printf("%-40s %9.1f MB %22s\n", "resident memory, idle after start",
                double(own->idleAtStart) / 1024, "80 MB");
    std::printf("%-40s %9.1f MB\n", "resident memory, after 20 captures",
                double(own->afterCaptures) / 1024);
    std::printf("%-40s %9.1f MB %22s\n", "resident memory, 60 s later",
                double(own->minuteLater) / 1024, "80 MB");
    std::printf("load average when done: ");
    std::fflush(stdout);
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly)) {
        std::printf("%s", loadavg.readAll().constData());
    }
    return 0;
}
