// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QStringList>

class Recognizer;
class TesseractEngine;

// The ways of reading an image that the benchmark compares, each timed the same way.
namespace Readers {

[[nodiscard]] double elapsedMs(const QElapsedTimer &timer);

struct Timed
{
    RecognitionResult result;
    double ms = 0;
    // Processor time of the whole process meanwhile: what the call cost, whatever else the
    // machine was doing.
    double cpuMs = 0;
};

// Ours, end to end, in English.
[[nodiscard]] Timed recognize(Recognizer &recognizer, const QImage &image,
                              const RecognitionOptions &options);

struct CliRun
{
    QString text;
    double ms = 0;
    double cpuMs = 0; // the tool's own processor time
    bool ok = false;
};

// The plain `tesseract` tool on an image file, single-threaded or with OpenMP's default.
[[nodiscard]] CliRun runTesseract(const QString &program, const QString &path,
                                  bool isSingleThreaded);

// Our text pass without our preparation: the raw capture in grey, as the engine would get it.
[[nodiscard]] QString readUnprepared(const TesseractEngine &engine, const QImage &image);

// ZXing given the image's luminance alone, as a plain reader would.
[[nodiscard]] QStringList zxingLuminanceOnly(const QImage &image);

[[nodiscard]] QStringList payloadsOf(const RecognitionResult &result);

// Threads of this process now, from /proc; -1 when unknown.
[[nodiscard]] int processThreads();

} // namespace Readers
