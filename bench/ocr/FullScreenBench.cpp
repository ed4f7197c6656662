// SPDX-License-Identifier: GPL-3.0-or-later
#include "FullScreenBench.h"

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "KeloLens/Recognition/TextAssembly.h"
#include "Readers.h"
#include "Table.h"

#include <QThread>

#include <algorithm>
#include <limits>

using namespace Table;

namespace {

constexpr int roundCount = 2;
const QList<int> workerCounts = {1, 2, 4};

// The text pass alone with a fixed number of engines: preparation, reading, assembly.
Readers::Timed readWithWorkers(const TesseractEngine &engine, const QImage &image, int workers)
{
    QElapsedTimer timer;
    timer.start();
    TextPassLimits limits;
    limits.workers = workers;
    const auto reading =
        engine.read(ImagePreparation::prepareForText(image), RecognitionLanguages::dataDirectory(),
                    {QStringLiteral("eng")}, limits);
    RecognitionResult result;
    result.paragraphs = groupParagraphs(reading ? reading->lines : QList<RecognizedLine>());
    result.text = assembleText(result.paragraphs, LineBreakMode::keepLines, false);
    return {result, Readers::elapsedMs(timer)};
}

} // namespace

FullScreenFigures runFullScreenBench(const BenchContext &context, const QList<CorpusImage> &pages)
{
    FullScreenFigures figures;
    if (pages.isEmpty()) {
        return figures;
    }
    RecognitionOptions textOnly;
    textOnly.stripHyphenation = false;
    textOnly.detectBarcodes = false;
    Recognizer recognizer;
    (void)Readers::recognize(recognizer, pages.first().image, textOnly); // warm engines

    // The two readers take turns, and each page counts its faster round: other work on the
    // machine then weighs on both alike.
    heading(QStringLiteral("Full screens of dense text (%1 pages of %2 x %3, text only, "
                           "faster of %4 rounds)")
                .arg(pages.size())
                .arg(pages.first().image.width())
                .arg(pages.first().image.height())
                .arg(roundCount));
    row(QString(),
        {QStringLiteral("KeloLens"), QStringLiteral("tesseract 1 thread"), QStringLiteral("ratio"),
         QStringLiteral("processor time ratio"), QStringLiteral("CER (plain)")});
    // Processor time, unlike the time taken, does not grow with other work on the machine; ours
    // counts every engine's.
    double oursCpuTotal = 0;
    double plainCpuTotal = 0;
    for (const CorpusImage &page : pages) {
        const QString path = context.save(page);
        double ours = std::numeric_limits<double>::max();
        double plain = std::numeric_limits<double>::max();
        double oursCpu = std::numeric_limits<double>::max();
        double plainCpu = std::numeric_limits<double>::max();
        Score oursOnPage;
        Score plainOnPage;
        for (int round = 0; round < roundCount; ++round) {
            const Readers::Timed timed = Readers::recognize(recognizer, page.image, textOnly);
            ours = std::min(ours, timed.ms);
            oursCpu = std::min(oursCpu, timed.cpuMs);
            if (round == 0) {
                figures.ours.add(page, timed.result.text);
                oursOnPage.add(page, timed.result.text);
                if (context.isVerbose) {
                    printDifferences(page, timed.result.text, {});
                }
            }
            if (context.tesseract.isEmpty()) {
                continue;
            }
            const Readers::CliRun run = Readers::runTesseract(context.tesseract, path, true);
            plain = std::min(plain, run.ms);
            plainCpu = std::min(plainCpu, run.cpuMs);
            if (round == 0) {
                figures.plain.add(page, run.text);
                plainOnPage.add(page, run.text);
            }
        }
        figures.oursMs += ours;
        figures.plainMs += context.tesseract.isEmpty() ? 0 : plain;
        oursCpuTotal += oursCpu;
        plainCpuTotal += context.tesseract.isEmpty() ? 0 : plainCpu;
        row(page.name, {ms(ours), context.tesseract.isEmpty() ? QStringLiteral("n/a") : ms(plain),
                        context.tesseract.isEmpty() ? QString() : fixed(ours / plain, 2),
                        context.tesseract.isEmpty() ? QString() : fixed(oursCpu / plainCpu, 2),
                        percent(oursOnPage.meanCer()) +
                            (context.tesseract.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" (%1)").arg(percent(plainOnPage.meanCer())))});
    }
    row(QStringLiteral("all pages"),
        {ms(figures.oursMs), ms(figures.plainMs),
         figures.plainMs > 0 ? fixed(figures.oursMs / figures.plainMs, 2) : QString(),
         plainCpuTotal > 0 ? fixed(oursCpuTotal / plainCpuTotal, 2) : QString()});
    row(QStringLiteral("mean CER"),
        {percent(figures.ours.meanCer()), percent(figures.plain.meanCer())});
    row(QStringLiteral("exact-line recall"),
        {fixed(figures.ours.recall()), fixed(figures.plain.recall())});

    TesseractEngine engine;
    (void)readWithWorkers(engine, pages.first().image, workerCounts.last()); // warm engines
    for (int workers : workerCounts) {
        for (const CorpusImage &page : pages) {
            const Readers::Timed timed = readWithWorkers(engine, page.image, workers);
            figures.msByWorkers[workers] += timed.ms;
            figures.scoreByWorkers[workers].add(page, timed.result.text);
        }
    }
    heading(QStringLiteral("Engines reading bands at once (text pass, all pages; %1 cores)")
                .arg(QThread::idealThreadCount()));
    row(QString(), {QStringLiteral("time"), QStringLiteral("vs one engine"),
                    QStringLiteral("CER / line recall")});
    for (const auto &[workers, total] : figures.msByWorkers) {
        const Score &score = figures.scoreByWorkers[workers];
        row(QStringLiteral("%1 engine%2").arg(workers).arg(workers == 1 ? "" : "s"),
            {ms(total), fixed(total / figures.msByWorkers[1], 2),
             percent(score.meanCer()) + QStringLiteral(" / ") + fixed(score.recall())});
    }
    row(QStringLiteral("automatic for the first page"),
        {QString::number(TesseractEngine::automaticWorkers(
            ImagePreparation::prepareForText(pages.first().image)))});
    return figures;
}
