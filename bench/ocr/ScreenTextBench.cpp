// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenTextBench.h"

#include "KeloLens/Recognition/Recognizer.h"
#include "Metrics.h"
#include "Readers.h"
#include "Table.h"

using namespace Table;

ScreenTextFigures runScreenTextBench(const BenchContext &context, const QList<CorpusImage> &corpus,
                                     bool isHeldOut)
{
    ScreenTextFigures figures;
    if (corpus.isEmpty()) {
        return figures;
    }
    RecognitionOptions options;
    options.stripHyphenation = false;
    Recognizer recognizer;
    (void)Readers::recognize(recognizer, corpus.first().image, options); // warm engines
    QList<double> cpuMs;
    for (const CorpusImage &item : corpus) {
        const Readers::Timed timed = Readers::recognize(recognizer, item.image, options);
        figures.ours.milliseconds.append(timed.ms);
        cpuMs.append(timed.cpuMs);
        figures.ours.add(item, timed.result.text);
        if (context.isVerbose) {
            printDifferences(item, timed.result.text, {});
        }
        if (!context.tesseract.isEmpty()) {
            const Readers::CliRun run =
                Readers::runTesseract(context.tesseract, context.save(item), true);
            figures.plain.milliseconds.append(run.ms);
            figures.plain.add(item, run.text);
        }
    }
    figures.oursP50 = Metrics::percentile(figures.ours.milliseconds, 0.5);
    figures.plainP50 = Metrics::percentile(figures.plain.milliseconds, 0.5);

    int counts[3] = {};
    for (const CorpusImage &item : corpus) {
        ++counts[int(item.kind)];
    }
    heading(QStringLiteral("%1 (%2 images: %3 code in 4 monospace fonts, %4 prose, %5 user "
                           "interface; %6 px, light and dark)")
                .arg(isHeldOut ? QStringLiteral("Held out: the same kinds in other fonts and sizes")
                               : QStringLiteral("Screen text heavy in program code"))
                .arg(corpus.size())
                .arg(counts[int(TextKind::code)])
                .arg(counts[int(TextKind::prose)])
                .arg(counts[int(TextKind::ui)])
                .arg(isHeldOut ? QStringLiteral("11-16") : QStringLiteral("12-15")));
    const bool hasPlain = !context.tesseract.isEmpty();
    const auto plainCell = [hasPlain](const QString &value) {
        return hasPlain ? value : QStringLiteral("n/a");
    };
    row(QString(),
        {QStringLiteral("KeloLens"), QStringLiteral("tesseract 1 thread"), QStringLiteral("goal")});
    row(QStringLiteral("exact-line recall"),
        {fixed(figures.ours.recall()), plainCell(fixed(figures.plain.recall())),
         QStringLiteral(">= 0.970")});
    row(QStringLiteral("  prose"),
        {fixed(figures.ours.recall(TextKind::prose)),
         plainCell(fixed(figures.plain.recall(TextKind::prose))), QString()});
    row(QStringLiteral("  program code (as drawn)"),
        {fixed(figures.ours.recall(TextKind::code)),
         plainCell(fixed(figures.plain.recall(TextKind::code))), QStringLiteral(">= 0.950")});
    row(QStringLiteral("  user interface"),
        {fixed(figures.ours.recall(TextKind::ui)),
         plainCell(fixed(figures.plain.recall(TextKind::ui))), QString()});
    row(QStringLiteral("mean CER (whitespace-normalized)"),
        {percent(figures.ours.meanCer()), plainCell(percent(figures.plain.meanCer())), QString()});
    row(QStringLiteral("warm p50"),
        {ms(figures.oursP50), plainCell(ms(figures.plainP50)), QStringLiteral("<= plain")});
    row(QStringLiteral("  processor time p50 (all threads)"),
        {ms(Metrics::percentile(cpuMs, 0.5)), QString(), QString()});
    return figures;
}
