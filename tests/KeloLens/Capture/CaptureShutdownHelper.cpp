// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-test-capture-shutdown <tool program> <captures folder>
//     Starts one capture with the tool and runs until a termination signal ends it, then prints
//     how the capture ended ("cancelled", "image", "failed") as the capturer goes.
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"
#include "KeloPlatform/TerminationSignals.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

QCoro::Task<> report(ScreencaptureCLICapturer &capturer)
{
    const CaptureOutcome outcome = co_await capturer.capture();
    const char *names[] = {"image", "failed", "cancelled"};
    std::printf("%s\n", names[outcome.index()]);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: kelo-test-capture-shutdown <tool program> <captures folder>\n", stderr);
        return 2;
    }
    KeloPlatform::TerminationSignals termination;
    QObject::connect(&termination, &KeloPlatform::TerminationSignals::received, &app,
                     &QCoreApplication::quit);
    ScreencaptureCLICapturer capturer(
        CaptureTool{QString::fromLocal8Bit(argv[1]),
                    {QString::fromLatin1(CaptureTool::pathPlaceholder)},
                    {},
                    {}},
        QString::fromLocal8Bit(argv[2]));
    const QCoro::Task<> capture = report(capturer);
    return app.exec();
}
