// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-bench-ocr: the recognizer against the plain `tesseract` tool, printed side by side: the
// mixed corpus of small text and code images, full screens of dense text, and captures of a
// single code; then the goals, met or missed.

#include "CodeOnlyBench.h"
#include "CorpusBench.h"
#include "FullScreenBench.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "LanguageBench.h"
#include "ScreenTextBench.h"
#include "ScreenTextCorpus.h"
#include "Table.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>

using namespace Table;

namespace {

// Timing goals hold on an idle machine; the load says how far from idle this run was.
QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("unknown");
    }
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

void printLanguageGoals(const LanguageFigures &languages)
{
    if (languages.pages.isEmpty()) {
        return;
    }
    double worst = 0;
    for (const LanguageFigures::Page &page : languages.pages) {
        worst = std::max(worst, page.oursCer);
    }
    row(QStringLiteral("Automatic: every language CER <= 2%"),
        {QStringLiteral("%1 (worst %2%3)")
             .arg(goal(languages.isComplete && worst <= 0.02), percent(worst),
                  languages.isComplete ? QString() : QStringLiteral(", packs missing"))});
    const double added = languages.automaticMs - languages.explicitMs;
    row(QStringLiteral("Automatic adds <= 30 ms to a small capture"),
        {QStringLiteral("%1 (%2; detection alone %3, %4 processor time)")
             .arg(goal(added <= 30), ms(added), ms(languages.detectionMs),
                  ms(languages.detectionThreadMs))});
}

void printGoals(const CorpusFigures &corpus, const ScreenTextFigures &screen,
                const FullScreenFigures &pages, const CodeOnlyFigures &codeOnly)
{
    row(QStringLiteral("screen text: line recall >= 0.97"),
        {QStringLiteral("%1 (%2; tesseract %3)")
             .arg(goal(screen.ours.recall() >= 0.97), fixed(screen.ours.recall()),
                  fixed(screen.plain.recall()))});
    row(QStringLiteral("  program code as drawn >= 0.95"),
        {QStringLiteral("%1 (%2; tesseract %3)")
             .arg(goal(screen.ours.recall(TextKind::code) >= 0.95),
                  fixed(screen.ours.recall(TextKind::code)),
                  fixed(screen.plain.recall(TextKind::code)))});
    const double cerRatio =
        corpus.plain.meanCer() > 0 ? corpus.ours.meanCer() / corpus.plain.meanCer() : 0;
    row(QStringLiteral("CER at most 1/5 of the plain tool"),
        {QStringLiteral("%1 (ratio %2)").arg(goal(cerRatio <= 0.2), fixed(cerRatio))});
    row(QStringLiteral("mixed corpus: CER at most 0.05%"),
        {QStringLiteral("%1 (%2)").arg(goal(corpus.ours.meanCer() <= 0.0005),
                                       percent(corpus.ours.meanCer()))});
    row(QStringLiteral("mixed corpus: line recall >= 0.99"),
        {QStringLiteral("%1 (%2)").arg(goal(corpus.ours.recall() >= 0.99),
                                       fixed(corpus.ours.recall()))});
    const int codesFound = corpus.codes.found + codeOnly.ours.found;
    const int codesExpected = corpus.codes.expected + codeOnly.ours.expected;
    const int falseCodes = corpus.codes.falsePositives + codeOnly.ours.falsePositives;
    row(QStringLiteral("every code, no false positive"),
        {QStringLiteral("%1 (%2/%3, %4 false)")
             .arg(goal(codesFound == codesExpected && falseCodes == 0))
             .arg(codesFound)
             .arg(codesExpected)
             .arg(falseCodes)});
    row(QStringLiteral("code-only captures give no text"),
        {QStringLiteral("%1 (%2/%3)")
             .arg(goal(codeOnly.oursEmptyText == codeOnly.captures))
             .arg(codeOnly.oursEmptyText)
             .arg(codeOnly.captures)});
    row(QStringLiteral("warm p50 <= plain tool 1 thread"),
        {QStringLiteral("%1 (%2 vs %3)")
             .arg(goal(corpus.oursP50 <= corpus.plainP50), ms(corpus.oursP50),
                  ms(corpus.plainP50))});
    row(QStringLiteral("codes on ~ longer pass, not sum"),
        {QStringLiteral("%1 (both = %2 x longer, sum = %3 x longer)")
             .arg(goal(corpus.bothMean < corpus.sumMean))
             .arg(fixed(corpus.bothMean / std::max(1.0, corpus.longerMean), 2))
             .arg(fixed(corpus.sumMean / std::max(1.0, corpus.longerMean), 2))});
    const double pageRatio = pages.plainMs > 0 ? pages.oursMs / pages.plainMs : 0;
    row(QStringLiteral("full screens <= 0.8 x plain tool"),
        {QStringLiteral("%1 (%2)").arg(goal(pageRatio > 0 && pageRatio <= 0.8),
                                       fixed(pageRatio, 2))});
    // One engine reads the page whole, as before bands existed.
    const Score &whole = pages.scoreByWorkers.count(1) ? pages.scoreByWorkers.at(1) : pages.ours;
    const bool isNoWorse = pages.ours.meanCer() <= whole.meanCer() + 1e-9 &&
                           pages.ours.recall() >= whole.recall() - 1e-9;
    row(QStringLiteral("  accuracy as with one engine"),
        {QStringLiteral("%1 (%2 / %3 vs %4 / %5)")
             .arg(goal(isNoWorse), percent(pages.ours.meanCer()), fixed(pages.ours.recall()),
                  percent(whole.meanCer()), fixed(whole.recall()))});
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    BenchContext context;
    context.isVerbose = arguments.contains(QStringLiteral("--verbose"));
    const qsizetype keep = arguments.indexOf(QStringLiteral("--keep-corpus"));
    if (keep > 0) {
        context.keptCorpusFolder = arguments.value(keep + 1);
    }
    // --without-tool leaves the plain tool's columns empty, when only our own figures matter.
    if (!arguments.contains(QStringLiteral("--without-tool"))) {
        context.tesseract = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    }
    if (!context.folder.isValid()) {
        std::fputs("kelo-bench-ocr: cannot create a temporary folder\n", stderr);
        return 1;
    }
    QElapsedTimer total;
    total.start();

    const QList<CorpusImage> corpus = Corpus::build();
    int textImages = 0;
    int darkImages = 0;
    for (const CorpusImage &item : corpus) {
        textImages += item.payloads.isEmpty() ? 1 : 0;
        darkImages += item.isDark ? 1 : 0;
    }
    out() << "Corpus: " << corpus.size() << " images (" << textImages
          << " text in 6 fonts, 10-16 px, scale 1 and 2, 6 themes; " << corpus.size() - textImages
          << " with 2-3 codes each; " << darkImages << " dark)\n";
    out() << "Cores: " << QThread::idealThreadCount()
          << ", load average at start: " << loadAverage() << ", OpenMP thread limit available: "
          << (TesseractEngine::canLimitEngineThreads() ? "yes" : "no") << '\n';
    if (context.tesseract.isEmpty()) {
        out() << "The tesseract tool is not installed: its columns stay empty.\n";
    }

    // --only corpus,screen,pages,codes,languages runs some parts alone, when looking into one
    // figure; --only heldout reads the screen text held out from tuning.
    const qsizetype only = arguments.indexOf(QStringLiteral("--only"));
    const QStringList parts =
        only > 0 ? arguments.value(only + 1).split(QLatin1Char(','))
                 : QStringList{QStringLiteral("corpus"),  QStringLiteral("screen"),
                               QStringLiteral("heldout"), QStringLiteral("pages"),
                               QStringLiteral("codes"),   QStringLiteral("languages")};
    const CorpusFigures corpusFigures = parts.contains(QStringLiteral("corpus"))
                                            ? runCorpusBench(context, corpus)
                                            : CorpusFigures{};
    const ScreenTextFigures screenFigures = parts.contains(QStringLiteral("screen"))
                                                ? runScreenTextBench(context, Corpus::screenText())
                                                : ScreenTextFigures{};
    if (parts.contains(QStringLiteral("heldout"))) {
        (void)runScreenTextBench(context, Corpus::screenText(true), true);
    }
    const FullScreenFigures pageFigures =
        parts.contains(QStringLiteral("pages"))
            ? runFullScreenBench(context, Corpus::fullScreenPages() + Corpus::variedScreens())
            : FullScreenFigures{};
    const CodeOnlyFigures codeFigures = parts.contains(QStringLiteral("codes"))
                                            ? runCodeOnlyBench(context, Corpus::codeOnlyCaptures())
                                            : CodeOnlyFigures{};
    const LanguageFigures languageFigures =
        parts.contains(QStringLiteral("languages")) ? runLanguageBench(context) : LanguageFigures{};
    heading(QStringLiteral("Goals"));
    // A part left out would read as a goal missed.
    if (parts.contains(QStringLiteral("corpus")) && parts.contains(QStringLiteral("screen")) &&
        parts.contains(QStringLiteral("pages")) && parts.contains(QStringLiteral("codes"))) {
        printGoals(corpusFigures, screenFigures, pageFigures, codeFigures);
    }
    printLanguageGoals(languageFigures);
    out() << "\nLoad average at the end: " << loadAverage() << '\n';
    out() << "Total benchmark time: " << QString::number(total.elapsed() / 1000.0, 'f', 1)
          << " s\n";
    out().flush();
    return 0;
}
