// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionModel.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>

class TesseractEnginePool;

// How one text pass may run.
struct TextPassLimits
{
    // Engines reading bands of the page at once; 0 chooses from the cores, the free memory and
    // the size of the page.
    int workers = 0;
    // Past this the pass stops and keeps the rows read by then; absent: from the capture's area.
    std::optional<std::chrono::milliseconds> deadline;
    std::stop_token stop;
};

struct TextReading
{
    // In page order, boxes in the captured image's normalized coordinates.
    QList<RecognizedLine> lines;
    // False when the deadline or a cancel cut the pass short: the rows not read by then are
    // left out.
    bool isComplete = true;
};

// libtesseract behind a small interface. A large page is cut into bands that several engines
// read at once, one thread each; engines are kept warm for the next recognition.
class TesseractEngine
{
public:
    // `allowsEngineThreads` lets each engine also spread its own work over the cores with
    // OpenMP, as the plain `tesseract` tool does; the benchmark compares.
    explicit TesseractEngine(bool allowsEngineThreads = false);
    ~TesseractEngine();
    TesseractEngine(const TesseractEngine &) = delete;
    TesseractEngine &operator=(const TesseractEngine &) = delete;

    // Absent when the engine could not run: language data missing or unreadable, or an image
    // it rejects. Thread-safe.
    [[nodiscard]] std::optional<TextReading> read(const PreparedImage &prepared,
                                                  const QString &dataDirectory,
                                                  const QStringList &dataNames,
                                                  const TextPassLimits &limits = {}) const;

    // Drops the warm engines, so that the next recognition starts cold.
    void releaseIdleEngines();

    // How long reading a capture of this size may take.
    [[nodiscard]] static std::chrono::milliseconds deadlineFor(QSize captureSize);
    // The engines worth running at once on this page here.
    [[nodiscard]] static int automaticWorkers(const PreparedImage &prepared);
    [[nodiscard]] static bool canLimitEngineThreads();

private:
    std::unique_ptr<TesseractEnginePool> m_pool;
    bool m_allowsEngineThreads;
};
