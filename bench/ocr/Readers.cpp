// SPDX-License-Identifier: GPL-3.0-or-later
#include "Readers.h"

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "KeloLens/Recognition/TextAssembly.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QProcess>

#include <ctime>
#include <sys/resource.h>

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

namespace Readers {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

namespace {

double processCpuMs()
{
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
}

double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval &time) {
        return double(time.tv_sec) * 1e3 + double(time.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace

Timed recognize(Recognizer &recognizer, const QImage &image, const RecognitionOptions &options)
{
    const double cpuBefore = processCpuMs();
    QElapsedTimer timer;
    timer.start();
    RecognitionResult result =
        QCoro::waitFor(recognizer.recognize(image, {QStringLiteral("en")}, options));
    const double ms = elapsedMs(timer);
    return {result, ms, processCpuMs() - cpuBefore};
}

CliRun runTesseract(const QString &program, const QString &path, bool isSingleThreaded)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (isSingleThreaded) {
        environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    } else {
        environment.remove(QStringLiteral("OMP_THREAD_LIMIT"));
    }
    process.setProcessEnvironment(environment);
    const double cpuBefore = childrenCpuMs();
    QElapsedTimer timer;
    timer.start();
    process.start(program,
                  {path, QStringLiteral("stdout"), QStringLiteral("-l"), QStringLiteral("eng")});
    CliRun run;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ms = elapsedMs(timer);
    run.cpuMs = childrenCpuMs() - cpuBefore;
    run.text = QString::fromUtf8(process.readAllStandardOutput());
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

QString readUnprepared(const TesseractEngine &engine, const QImage &image)
{
    PreparedImage raw;
    raw.image = image.convertToFormat(QImage::Format_Grayscale8);
    raw.originalSize = image.size();
    raw.resolution = 96;
    const auto reading =
        engine.read(raw, RecognitionLanguages::dataDirectory(), {QStringLiteral("eng")});
    return assembleText(groupParagraphs(reading ? reading->lines : QList<RecognizedLine>()),
                        LineBreakMode::keepLines, false);
}

QStringList zxingLuminanceOnly(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    QStringList payloads;
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                                ZXing::ImageFormat::Lum, int(grey.bytesPerLine()));
    for (const ZXing::Result &result : ZXing::ReadBarcodes(view)) {
        if (result.isValid() && !payloads.contains(QString::fromStdString(result.text()))) {
            payloads.append(QString::fromStdString(result.text()));
        }
    }
    return payloads;
}

QStringList payloadsOf(const RecognitionResult &result)
{
    QStringList payloads;
    for (const DetectedCode &code : result.codes) {
        payloads.append(code.payload);
    }
    return payloads;
}

int processThreads()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    return tasks.exists() ? int(tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()) : -1;
}

} // namespace Readers
