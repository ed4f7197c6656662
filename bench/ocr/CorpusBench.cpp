// SPDX-License-Identifier: GPL-3.0-or-later
#include "CorpusBench.h"

#include "KeloLens/Recognition/Recognizer.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "Metrics.h"
#include "Readers.h"
#include "Table.h"

#include <QPainter>
#include <QThread>

#include <algorithm>
#include <memory>

using namespace Table;

namespace {

RecognitionOptions withCodes()
{
    RecognitionOptions options;
    options.stripHyphenation = false;
    return options;
}

RecognitionOptions textOnly()
{
    RecognitionOptions options = withCodes();
    options.detectBarcodes = false;
    return options;
}

void printAccuracy(const CorpusFigures &figures, const Score &unprepared,
                   const CodeScore &luminanceOnly, bool hasPlainTool)
{
    const Score &ours = figures.ours;
    const Score &plain = figures.plain;
    heading(QStringLiteral("Accuracy (%1 text images, %2 lines)")
                .arg(ours.images)
                .arg(ours.linesTotal));
    row(QString(), {QStringLiteral("KeloLens"), QStringLiteral("tesseract CLI"),
                    QStringLiteral("KeloLens unprepared")});
    row(QStringLiteral("mean CER (whitespace-normalized)"),
        {percent(ours.meanCer()), hasPlainTool ? percent(plain.meanCer()) : QStringLiteral("n/a"),
         percent(unprepared.meanCer())});
    row(QStringLiteral("exact-line recall"),
        {fixed(ours.recall()), fixed(plain.recall()), fixed(unprepared.recall())});
    for (const auto &[kind, label] : {std::pair{TextKind::prose, "  recall, prose"},
                                      std::pair{TextKind::code, "  recall, program code"}}) {
        row(QLatin1String(label),
            {fixed(ours.recall(kind)), fixed(plain.recall(kind)), fixed(unprepared.recall(kind))});
    }
    row(QStringLiteral("paragraph-count accuracy"),
        {fixed(ours.paragraphAccuracy()), fixed(plain.paragraphAccuracy()),
         fixed(unprepared.paragraphAccuracy())});
    for (const auto &[theme, rates] : ours.cerByTheme) {
        const auto plainRates = plain.cerByTheme.find(theme);
        const auto unpreparedRates = unprepared.cerByTheme.find(theme);
        row(QStringLiteral("  CER, %1 theme").arg(theme),
            {percent(Metrics::mean(rates)),
             percent(plainRates == plain.cerByTheme.end() ? 0 : Metrics::mean(plainRates->second)),
             percent(unpreparedRates == unprepared.cerByTheme.end()
                         ? 0
                         : Metrics::mean(unpreparedRates->second))});
    }
    heading(QStringLiteral("Codes (all images)"));
    row(QString(), {QStringLiteral("KeloLens"), QStringLiteral("ZXing, luminance only")});
    row(QStringLiteral("codes found"), {figures.codes.foundText(), luminanceOnly.foundText()});
    row(QStringLiteral("false positives"), {QString::number(figures.codes.falsePositives),
                                            QString::number(luminanceOnly.falsePositives)});
}

// Both passes against each pass alone, on captures holding a text block and a few codes.
void measureOverlap(Recognizer &recognizer, const QList<CorpusImage> &corpus,
                    CorpusFigures &figures)
{
    QList<int> textIndexes;
    QList<int> codeIndexes;
    for (int i = 0; i < corpus.size(); ++i) {
        (corpus.at(i).payloads.isEmpty() ? textIndexes : codeIndexes).append(i);
    }
    if (textIndexes.isEmpty()) {
        return;
    }
    QList<double> both;
    QList<double> textAlone;
    QList<double> codesAlone;
    QList<double> longer;
    QList<double> sum;
    for (int n = 0; n < codeIndexes.size(); ++n) {
        const QImage &text = corpus.at(textIndexes.at((n * 5) % textIndexes.size())).image;
        const QImage &codes = corpus.at(codeIndexes.at(n)).image;
        QImage capture(text.width() + codes.width(), std::max(text.height(), codes.height()),
                       QImage::Format_RGB32);
        capture.fill(Qt::white);
        {
            QPainter painter(&capture);
            painter.drawImage(0, 0, text);
            painter.drawImage(text.width(), 0, codes);
        }
        (void)Readers::recognize(recognizer, capture, withCodes());
        const double t = Readers::recognize(recognizer, capture, textOnly()).ms;
        QElapsedTimer timer;
        timer.start();
        (void)Recognizer::detectCodes(capture);
        const double c = Readers::elapsedMs(timer);
        const double b = Readers::recognize(recognizer, capture, withCodes()).ms;
        textAlone.append(t);
        codesAlone.append(c);
        both.append(b);
        longer.append(std::max(t, c));
        sum.append(t + c);
    }
    figures.bothMean = Metrics::mean(both);
    figures.longerMean = Metrics::mean(longer);
    figures.sumMean = Metrics::mean(sum);
    heading(QStringLiteral("Text and codes together (%1 captures of text beside codes, mean)")
                .arg(both.size()));
    row(QStringLiteral("text pass alone"), {ms(Metrics::mean(textAlone))});
    row(QStringLiteral("code pass alone"), {ms(Metrics::mean(codesAlone))});
    row(QStringLiteral("longer of the two / their sum"),
        {ms(figures.longerMean) + QStringLiteral(" / ") + ms(figures.sumMean)});
    row(QStringLiteral("both, concurrently"), {ms(figures.bothMean)});
}

// The six largest text images, one thread per engine against OpenMP's default.
void measureEngineThreads(const BenchContext &context, Recognizer &recognizer,
                          const QList<CorpusImage> &corpus, const QStringList &paths,
                          int threadsSingle)
{
    QList<int> largest;
    for (int i = 0; i < corpus.size(); ++i) {
        if (corpus.at(i).payloads.isEmpty()) {
            largest.append(i);
        }
    }
    std::sort(largest.begin(), largest.end(), [&](int a, int b) {
        return qint64(corpus.at(a).image.width()) * corpus.at(a).image.height() >
               qint64(corpus.at(b).image.width()) * corpus.at(b).image.height();
    });
    largest = largest.mid(0, 6);
    if (largest.isEmpty()) {
        return;
    }
    QList<double> oursSingle;
    QList<double> oursMulti;
    QList<double> plainSingle;
    QList<double> plainMulti;
    for (int i : largest) {
        oursSingle.append(Readers::recognize(recognizer, corpus.at(i).image, textOnly()).ms);
    }
    Recognizer withEngineThreads(std::make_shared<TesseractEngine>(true));
    (void)Readers::recognize(withEngineThreads, corpus.at(largest.first()).image, textOnly());
    for (int i : largest) {
        oursMulti.append(Readers::recognize(withEngineThreads, corpus.at(i).image, textOnly()).ms);
    }
    const int threadsMulti = Readers::processThreads();
    if (!context.tesseract.isEmpty()) {
        for (int i : largest) {
            plainSingle.append(Readers::runTesseract(context.tesseract, paths.at(i), true).ms);
            plainMulti.append(Readers::runTesseract(context.tesseract, paths.at(i), false).ms);
        }
    }
    heading(QStringLiteral("Threads (%1 largest text images, text pass, p50; %2 cores)")
                .arg(largest.size())
                .arg(QThread::idealThreadCount()));
    row(QString(), {QStringLiteral("one thread"), QStringLiteral("OpenMP default")});
    row(QStringLiteral("KeloLens"),
        {ms(Metrics::percentile(oursSingle, 0.5)), ms(Metrics::percentile(oursMulti, 0.5))});
    row(QStringLiteral("tesseract CLI"),
        {ms(Metrics::percentile(plainSingle, 0.5)), ms(Metrics::percentile(plainMulti, 0.5))});
    row(QStringLiteral("threads in the process"),
        {QString::number(threadsSingle), QString::number(threadsMulti)});
}

} // namespace

CorpusFigures runCorpusBench(const BenchContext &context, const QList<CorpusImage> &corpus)
{
    CorpusFigures figures;
    if (corpus.isEmpty()) {
        return figures;
    }
    QStringList paths;
    for (const CorpusImage &item : corpus) {
        paths.append(context.save(item));
    }

    // Ours: a cold first call, then the whole corpus twice with warm engines.
    auto engine = std::make_shared<TesseractEngine>();
    Recognizer recognizer(engine);
    const double cold = Readers::recognize(recognizer, corpus.first().image, withCodes()).ms;
    QList<double> cpuMs;
    for (int round = 0; round < 2; ++round) {
        for (const CorpusImage &item : corpus) {
            const Readers::Timed timed = Readers::recognize(recognizer, item.image, withCodes());
            figures.ours.milliseconds.append(timed.ms);
            cpuMs.append(timed.cpuMs);
            if (round > 0) {
                continue;
            }
            if (item.payloads.isEmpty()) {
                figures.ours.add(item, timed.result.text);
            }
            const QStringList payloads = Readers::payloadsOf(timed.result);
            figures.codes.add(item, payloads);
            if (context.isVerbose) {
                printDifferences(item, timed.result.text, payloads);
            }
        }
    }
    const int threadsSingle = Readers::processThreads();

    Score unprepared;
    CodeScore luminanceOnly;
    for (const CorpusImage &item : corpus) {
        if (item.payloads.isEmpty()) {
            unprepared.add(item, Readers::readUnprepared(*engine, item.image));
        }
        luminanceOnly.add(item, Readers::zxingLuminanceOnly(item.image));
    }

    // The plain tool, single-threaded (its text is the same with more threads).
    if (!context.tesseract.isEmpty()) {
        for (int i = 0; i < corpus.size(); ++i) {
            const Readers::CliRun run = Readers::runTesseract(context.tesseract, paths.at(i), true);
            figures.plain.milliseconds.append(run.ms);
            if (corpus.at(i).payloads.isEmpty()) {
                figures.plain.add(corpus.at(i), run.text);
            }
        }
    }
    printAccuracy(figures, unprepared, luminanceOnly, !context.tesseract.isEmpty());

    figures.oursP50 = Metrics::percentile(figures.ours.milliseconds, 0.5);
    figures.plainP50 = Metrics::percentile(figures.plain.milliseconds, 0.5);
    heading(QStringLiteral("Latency, image to result (%1 images)").arg(corpus.size()));
    row(QString(), {QStringLiteral("KeloLens"), QStringLiteral("tesseract CLI 1 thread")});
    row(QStringLiteral("cold first call"), {ms(cold), QStringLiteral("every call is cold")});
    row(QStringLiteral("warm p50"), {ms(figures.oursP50), ms(figures.plainP50)});
    row(QStringLiteral("  processor time p50 (all threads)"),
        {ms(Metrics::percentile(cpuMs, 0.5)), QString()});
    row(QStringLiteral("warm p95"), {ms(Metrics::percentile(figures.ours.milliseconds, 0.95)),
                                     ms(Metrics::percentile(figures.plain.milliseconds, 0.95))});

    measureOverlap(recognizer, corpus, figures);
    measureEngineThreads(context, recognizer, corpus, paths, threadsSingle);
    return figures;
}
