// SPDX-License-Identifier: GPL-3.0-or-later
#include "CodeOnlyBench.h"

#include "KeloLens/Recognition/Recognizer.h"
#include "Metrics.h"
#include "Readers.h"
#include "Table.h"

using namespace Table;

CodeOnlyFigures runCodeOnlyBench(const BenchContext &context, const QList<CorpusImage> &captures)
{
    CodeOnlyFigures figures;
    Recognizer recognizer;
    RecognitionOptions options;
    QList<double> oursMs;
    QList<double> plainMs;
    int plainJunk = 0;
    for (const CorpusImage &capture : captures) {
        ++figures.captures;
        const Readers::Timed timed = Readers::recognize(recognizer, capture.image, options);
        oursMs.append(timed.ms);
        figures.oursEmptyText += timed.result.text.isEmpty() ? 1 : 0;
        const QStringList payloads = Readers::payloadsOf(timed.result);
        figures.ours.add(capture, payloads);
        figures.luminanceOnly.add(capture, Readers::zxingLuminanceOnly(capture.image));
        if (context.isVerbose) {
            printDifferences(capture, timed.result.text, payloads);
            if (!timed.result.text.isEmpty()) {
                Table::out() << capture.name << ": text \"" << timed.result.text << "\"\n";
            }
        }
        if (context.tesseract.isEmpty()) {
            continue;
        }
        const Readers::CliRun run =
            Readers::runTesseract(context.tesseract, context.save(capture), true);
        plainMs.append(run.ms);
        const QString junk = run.text.simplified();
        figures.plainEmptyText += junk.isEmpty() ? 1 : 0;
        plainJunk += int(junk.size());
    }
    heading(QStringLiteral("Code-only captures (%1, each a single code, some cut along its edge)")
                .arg(figures.captures));
    row(QString(), {QStringLiteral("KeloLens"), QStringLiteral("tesseract 1 thread"),
                    QStringLiteral("ZXing, luminance only")});
    row(QStringLiteral("captures with no text"),
        {QString::number(figures.oursEmptyText),
         QStringLiteral("%1 (%2 junk characters)").arg(figures.plainEmptyText).arg(plainJunk),
         QString()});
    row(QStringLiteral("codes found"),
        {figures.ours.foundText(), QString(), figures.luminanceOnly.foundText()});
    row(QStringLiteral("false positives"), {QString::number(figures.ours.falsePositives), QString(),
                                            QString::number(figures.luminanceOnly.falsePositives)});
    row(QStringLiteral("mean time"),
        {ms(Metrics::mean(oursMs)), ms(Metrics::mean(plainMs)), QString()});
    return figures;
}
