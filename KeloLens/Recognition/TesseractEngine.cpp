// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TesseractEngine.h"

#include "KeloLens/Recognition/LineReading.h"
#include "KeloLens/Recognition/LostText.h"
#include "KeloLens/Recognition/MonospaceGrid.h"
#include "KeloLens/Recognition/OpenMpThreads.h"
#include "KeloLens/Recognition/PassLimit.h"
#include "KeloLens/Recognition/QuoteStyle.h"
#include "KeloLens/Recognition/RecognitionLog.h"
#include "KeloLens/Recognition/RowReread.h"
#include "KeloLens/Recognition/TesseractEnginePool.h"
#include "KeloLens/Recognition/TextBands.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <numeric>
#include <system_error>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A screenful of text takes a few seconds, several times that on a busy machine; a huge capture
// of noise could take many minutes.
constexpr std::chrono::milliseconds baseDeadline = 30s;
constexpr std::chrono::milliseconds deadlinePerMegapixel = 4s;
constexpr std::chrono::milliseconds longestDeadline = 300s;

constexpr int maxWorkers = 4;
// Below this many prepared pixels a second engine costs more than it saves.
constexpr double minPixelsPerWorker = 1.5e6;
// Several bands per engine, so that one engine does not wait for another's dense band; and no
// band larger than this, since the engine lays out a band before it can be stopped.
constexpr int bandsPerWorker = 3;
constexpr double maxBandPixels = 2e6;
// An engine's language model and working memory, and its band's images, per prepared pixel.
constexpr double engineBytes = 64e6;
constexpr double bytesPerBandPixel = 12;
// Characters read one by one where the engine misread program text, at most, per capture: a
// garbled picture must not cost a read per cell. Counted over the whole capture, not per band: on
// a full screen of small proportional text taken for a grid, each of its many bands spent its own
// allowance, a quarter of the pass.
constexpr int maxCharacterReads = 64;
// Words further apart than this many line heights are pieces of a row, maybe in two columns.
constexpr double wideGapLineHeights = 2;
// White above and below a band: the engine reads lines touching the edge less well.
constexpr int bandPadding = 10;

struct BandReading
{
    QList<LineReading> lines; // in the prepared page's pixels
    bool isCutShort = false;
    bool hasFailed = false;
};

// A band's picture for the engine, and where its top left corner lies on the page; no picture
// where the band has no ink or there was no memory for it.
struct BandImage
{
    QImage image;
    QPoint origin;
    bool hasInk = false;
};

// Only the columns with ink, with white around them: the engine lays out and thresholds every
// pixel it is given, and on a screen with a column of text most of the width is empty.
BandImage bandImage(const QImage &page, const TextBand &band)
{
    const QRect ink = TextBands::inkSpan(page, band);
    if (ink.isEmpty()) {
        return {};
    }
    BandImage cut{{}, {}, true};
    // A capture small enough to be read whole is read as it was framed.
    const bool isWholePage = band.top == 0 && band.height == page.height() && band.width == 0;
    const bool isLarge = double(page.width()) * page.height() > maxBandPixels;
    if (isWholePage && (!isLarge || ink.width() + 2 * bandPadding > page.width() * 3 / 4)) {
        cut.image = page;
        return cut;
    }
    QImage image(ink.width() + 2 * bandPadding, band.height + 2 * bandPadding,
                 QImage::Format_Grayscale8);
    if (image.isNull()) {
        return cut;
    }
    image.fill(255);
    for (int y = 0; y < band.height; ++y) {
        std::copy_n(page.constScanLine(band.top + y) + ink.left(), ink.width(),
                    image.scanLine(y + bandPadding) + bandPadding);
    }
    cut.image = image;
    cut.origin = {ink.left() - bandPadding, band.top - bandPadding};
    return cut;
}

// A character or a few side by side, read alone.
QString readCharacters(tesseract::TessBaseAPI &engine, const QRect &area, int count,
                       const PassLimit &limit)
{
    if (limit.isReached()) {
        return {};
    }
    engine.SetPageSegMode(count == 1 ? tesseract::PSM_SINGLE_CHAR : tesseract::PSM_SINGLE_WORD);
    engine.SetRectangle(area.left(), area.top(), area.width(), area.height());
    tesseract::ETEXT_DESC monitor;
    limit.watch(monitor);
    const bool isRead = engine.Recognize(&monitor) == 0;
    engine.SetPageSegMode(tesseract::PSM_AUTO);
    if (!isRead) {
        return {};
    }
    const std::unique_ptr<char[]> text(engine.GetUTF8Text());
    return text ? QString::fromUtf8(text.get()) : QString();
}

BandReading readBand(tesseract::TessBaseAPI &engine, const PreparedImage &prepared,
                     const TextBand &band, const PassLimit &limit, std::atomic<int> &characterReads)
{
    BandReading reading;
    const BandImage cut = bandImage(prepared.image, band);
    if (cut.image.isNull()) {
        // Nothing to read, or no memory to read it with.
        reading.hasFailed = cut.hasInk;
        return reading;
    }
    const QImage &image = cut.image;
    engine.SetImage(image.constBits(), image.width(), image.height(), 1, int(image.bytesPerLine()));
    engine.SetSourceResolution(prepared.resolution);
    tesseract::ETEXT_DESC monitor;
    limit.watch(monitor);
    const bool isRead = engine.Recognize(&monitor) == 0;
    // Stopped early, the engine keeps the words it read and leaves the rest empty.
    reading.isCutShort = !isRead && limit.isReached();
    if (!isRead && !reading.isCutShort) {
        reading.hasFailed = true;
        return reading;
    }
    QList<QRect> emptyWords;
    {
        const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
        if (iterator) {
            iterator->Begin();
            do {
                if (iterator->Empty(tesseract::RIL_WORD)) {
                    break;
                }
                LineReading line = LineReading::read(*iterator);
                emptyWords += line.emptyWords;
                if (!line.text.isEmpty()) {
                    reading.lines.append(std::move(line));
                }
            } while (iterator->Next(tesseract::RIL_WORD));
        }
    }
    if (reading.isCutShort) {
        // A row is finished when the engine read all of its words; it may have left part of a
        // row for later, in a block of its own.
        reading.lines.removeIf([&](const LineReading &line) {
            return std::any_of(emptyWords.begin(), emptyWords.end(), [&](const QRect &word) {
                const int overlap = std::min(line.inkBox.bottom(), word.bottom()) -
                                    std::max(line.inkBox.top(), word.top()) + 1;
                return overlap * 2 >= std::min(line.inkBox.height(), word.height());
            });
        });
    } else {
        RowReread::readRowsAgain(engine, image, reading.lines, limit);
        LostText::readAgain(engine, image, reading.lines, emptyWords, limit);
    }
    MonospaceGrid::apply(reading.lines, image, [&](const QRect &area, int count) {
        return ++characterReads <= maxCharacterReads ? readCharacters(engine, area, count, limit)
                                                     : QString();
    });
    QList<LineReading> pieces;
    for (const LineReading &line : reading.lines) {
        // Program text keeps its rows whole: its wide gaps are spaces, counted in cells.
        if (line.cellWidth > 0) {
            pieces.append(line);
        } else {
            LineReading matched = line;
            matched.text = QuoteStyle::matched(line.text);
            pieces += matched.splitAtGaps(int(wideGapLineHeights * line.box.height()));
        }
    }
    reading.lines = pieces;
    for (LineReading &line : reading.lines) {
        line.box.translate(cut.origin);
    }
    return reading;
}

} // namespace

TesseractEngine::TesseractEngine(bool allowsEngineThreads)
    : m_pool(std::make_unique<TesseractEnginePool>()), m_allowsEngineThreads(allowsEngineThreads)
{
}

TesseractEngine::~TesseractEngine() = default;

std::optional<TextReading> TesseractEngine::read(const PreparedImage &prepared,
                                                 const QString &dataDirectory,
                                                 const QStringList &dataNames,
                                                 const TextPassLimits &limits) const
{
    if (prepared.image.isNull() || dataNames.isEmpty()) {
        return std::nullopt;
    }
    const auto allowed = limits.deadline.value_or(deadlineFor(prepared.originalSize));
    const PassLimit limit{std::chrono::steady_clock::now() + allowed, limits.stop};
    const int workers = limits.workers > 0 ? limits.workers : automaticWorkers(prepared);
    const double pixels = double(prepared.image.width()) * prepared.image.height();
    const QList<TextBand> bands =
        TextBands::split(prepared.image, std::max(workers > 1 ? workers * bandsPerWorker : 1,
                                                  int(std::ceil(pixels / maxBandPixels))));

    TesseractEnginePool::Engine first = m_pool->take(dataDirectory, dataNames);
    if (!first) {
        return std::nullopt;
    }
    std::vector<BandReading> readings(size_t(bands.size()));
    // Largest first: a pane that could not be cut small, read last, would keep one engine busy
    // long after the others ran out of bands.
    std::vector<qsizetype> order(size_t(bands.size()));
    std::iota(order.begin(), order.end(), 0);
    if (workers > 1) {
        std::vector<qint64> strokes;
        for (const TextBand &band : bands) {
            strokes.push_back(TextBands::strokes(prepared.image, band));
        }
        std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            return strokes[size_t(a)] > strokes[size_t(b)];
        });
    }
    std::atomic<size_t> next{0};
    std::atomic<int> characterReads{0};
    const auto work = [&](tesseract::TessBaseAPI &engine) {
        OpenMpThreads::allowEngineThreads(m_allowsEngineThreads);
        for (size_t n = next++; n < order.size(); n = next++) {
            const qsizetype i = order[n];
            BandReading &reading = readings[size_t(i)];
            if (limit.isReached()) {
                reading.isCutShort = true;
                continue;
            }
            try {
                reading = readBand(engine, prepared, bands.at(i), limit, characterReads);
            } catch (...) {
                reading.hasFailed = true;
            }
        }
    };
    {
        std::vector<std::jthread> helpers;
        const qsizetype helperCount = std::min<qsizetype>(workers, bands.size()) - 1;
        for (qsizetype h = 0; h < helperCount; ++h) {
            try {
                helpers.emplace_back([&] {
                    TesseractEnginePool::Engine engine = m_pool->take(dataDirectory, dataNames);
                    if (!engine) {
                        return;
                    }
                    work(*engine);
                    m_pool->giveBack(dataDirectory, dataNames, std::move(engine));
                });
            } catch (const std::system_error &) {
                break; // no more threads: the engines already running read the rest
            }
        }
        work(*first);
    }
    m_pool->giveBack(dataDirectory, dataNames, std::move(first));

    TextReading result;
    bool isAnyRead = false;
    for (const BandReading &reading : readings) {
        result.isComplete = result.isComplete && !reading.isCutShort;
        if (reading.hasFailed) {
            continue;
        }
        isAnyRead = true;
        for (const LineReading &line : reading.lines) {
            result.lines.append({line.text, prepared.normalizedBox(line.box),
                                 prepared.normalizedWidth(line.cellWidth)});
        }
    }
    if (!isAnyRead && result.isComplete) {
        return std::nullopt;
    }
    if (!result.isComplete && !limits.stop.stop_requested()) {
        qCWarning(lcRecognition).noquote()
            << QStringLiteral("KeloLens: text recognition stopped at its deadline of %1 s; the "
                              "rows read by then are kept, the rest is left out")
                   .arg(std::chrono::duration_cast<std::chrono::seconds>(allowed).count());
    }
    return result;
}

void TesseractEngine::releaseIdleEngines()
{
    m_pool->clear();
}

std::chrono::milliseconds TesseractEngine::deadlineFor(QSize captureSize)
{
    const double megapixels =
        double(std::max(0, captureSize.width())) * double(std::max(0, captureSize.height())) / 1e6;
    const auto scaled =
        baseDeadline +
        std::chrono::milliseconds(qint64(megapixels * double(deadlinePerMegapixel.count())));
    return std::min(scaled, longestDeadline);
}

int TesseractEngine::automaticWorkers(const PreparedImage &prepared)
{
    const double pixels = double(prepared.image.width()) * double(prepared.image.height());
    int workers = std::clamp(QThread::idealThreadCount(), 1, maxWorkers);
    workers = std::min(workers, std::max(1, int(pixels / minPixelsPerWorker)));
    // Each engine beyond the first needs its own model and working memory; leave most of what
    // is free to the rest of the system.
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        const double budget = double(pages) * double(pageSize) / 4;
        const double perWorker =
            engineBytes + bytesPerBandPixel * pixels / (workers * bandsPerWorker);
        workers = std::clamp(int(budget / perWorker), 1, workers);
    }
    return workers;
}

bool TesseractEngine::canLimitEngineThreads()
{
    return OpenMpThreads::canLimit();
}
