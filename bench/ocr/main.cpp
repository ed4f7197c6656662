// kelo-bench-ocr: the recognizer against the plain `tesseract` tool on a corpus of screen-like
// images, printed side by side. Accuracy first, then latency, then what the thread limit and
// the concurrent code pass buy.

#include "Corpus.h"
#include "Metrics.h"

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "KeloLens/Recognition/TextAssembly.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <cstdio>
#include <map>

namespace {

QTextStream out(stdout);

struct Score
{
    QList<double> cer;
    int linesFound = 0;
    int linesTotal = 0;
    int paragraphsRight = 0;
    int images = 0;
    QList<double> milliseconds;
    std::map<QString, QList<double>> cerByTheme;
    int codeLinesFound = 0;
    int codeLinesTotal = 0;

    void add(const CorpusImage &item, const QString &text)
    {
        QStringList truthLines;
        QStringList truthParagraphs;
        for (const QStringList &paragraph : item.paragraphs) {
            truthLines += paragraph;
            truthParagraphs.append(paragraph.join(QLatin1Char('\n')));
        }
        const double rate =
            Metrics::characterErrorRate(truthParagraphs.join(QStringLiteral("\n\n")), text);
        cer.append(rate);
        cerByTheme[item.theme].append(rate);
        linesFound += Metrics::linesFound(truthLines, text);
        linesTotal += int(truthLines.size());
        if (item.isCode) {
            codeLinesFound += Metrics::linesFound(truthLines, text);
            codeLinesTotal += int(truthLines.size());
        }
        paragraphsRight += Metrics::paragraphCount(text) == item.paragraphs.size() ? 1 : 0;
        ++images;
    }
};

struct CodeScore
{
    int found = 0;
    int expected = 0;
    int falsePositives = 0;

    void add(const CorpusImage &item, const QStringList &payloads)
    {
        expected += int(item.payloads.size());
        for (const QString &payload : item.payloads)
            found += payloads.contains(payload) ? 1 : 0;
        for (const QString &payload : payloads)
            falsePositives += item.payloads.contains(payload) ? 0 : 1;
    }
};

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Timed
{
    RecognitionResult result;
    double ms = 0;
};

Timed recognize(Recognizer &recognizer, const QImage &image, const RecognitionOptions &options)
{
    QElapsedTimer timer;
    timer.start();
    RecognitionResult result =
        QCoro::waitFor(recognizer.recognize(image, {QStringLiteral("en")}, options));
    return {result, elapsedMs(timer)};
}

struct CliRun
{
    QString text;
    double ms = 0;
    bool ok = false;
};

CliRun runTesseract(const QString &program, const QString &path, bool isSingleThreaded)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (isSingleThreaded)
        environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    else
        environment.remove(QStringLiteral("OMP_THREAD_LIMIT"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program,
                  {path, QStringLiteral("stdout"), QStringLiteral("-l"), QStringLiteral("eng")});
    CliRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ms = elapsedMs(timer);
    run.text = QString::fromUtf8(process.readAllStandardOutput());
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

// The text pass without our preparation: the raw capture in grey, as the engine would get it.
QString readUnprepared(const QImage &image)
{
    PreparedImage raw;
    raw.image = image.convertToFormat(QImage::Format_Grayscale8);
    raw.originalSize = image.size();
    raw.resolution = 96;
    const auto lines = TesseractEngine::recognizeLines(raw, RecognitionLanguages::dataDirectory(),
                                                       {QStringLiteral("eng")});
    return assembleText(groupParagraphs(lines.value_or(QList<RecognizedLine>())),
                        LineBreakMode::keepLines, false);
}

QStringList zxingLuminanceOnly(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    QStringList payloads;
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                                ZXing::ImageFormat::Lum, int(grey.bytesPerLine()));
    for (const ZXing::Result &result : ZXing::ReadBarcodes(view)) {
        if (result.isValid() && !payloads.contains(QString::fromStdString(result.text())))
            payloads.append(QString::fromStdString(result.text()));
    }
    return payloads;
}

int processThreads()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

// What was read wrong in one image, for looking into a figure.
void printDifferences(const CorpusImage &item, const QString &text, const QStringList &payloads)
{
    QStringList truthLines;
    for (const QStringList &paragraph : item.paragraphs)
        truthLines += paragraph;
    for (const QString &line : truthLines) {
        if (Metrics::linesFound({line}, text) == 0)
            out << item.name << ": missed line \"" << line << "\"\n";
    }
    if (!item.payloads.isEmpty() || !payloads.isEmpty()) {
        for (const QString &payload : item.payloads) {
            if (!payloads.contains(payload))
                out << item.name << ": missed code \"" << payload << "\"\n";
        }
        for (const QString &payload : payloads) {
            if (!item.payloads.contains(payload))
                out << item.name << ": false code \"" << payload << "\"\n";
        }
    } else if (Metrics::paragraphCount(text) != item.paragraphs.size()) {
        out << item.name << ": " << Metrics::paragraphCount(text) << " paragraphs, drawn "
            << item.paragraphs.size() << ":\n"
            << text << "\n---\n";
    }
    if (Metrics::characterErrorRate(truthLines.join(QLatin1Char(' ')), text) > 0 &&
        item.payloads.isEmpty())
        out << item.name << ": read\n" << text << "\n---\n";
}

QString percent(double value)
{
    return QString::number(value * 100, 'f', 2) + QLatin1Char('%');
}

QString ms(double value)
{
    return QString::number(value, 'f', 0) + QStringLiteral(" ms");
}

void row(const QString &label, const QStringList &cells)
{
    out << label.leftJustified(34);
    for (const QString &cell : cells)
        out << cell.leftJustified(22);
    out << '\n';
}

QString goal(bool isMet)
{
    return isMet ? QStringLiteral("met") : QStringLiteral("MISSED");
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool isVerbose = app.arguments().contains(QStringLiteral("--verbose"));
    const QString corpusFolder =
        app.arguments().indexOf(QStringLiteral("--keep-corpus")) > 0
            ? app.arguments().value(app.arguments().indexOf(QStringLiteral("--keep-corpus")) + 1)
            : QString();
    QElapsedTimer total;
    total.start();

    const QList<CorpusImage> corpus = Corpus::build();
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fputs("kelo-bench-ocr: cannot create a temporary folder\n", stderr);
        return 1;
    }
    QStringList paths;
    int textImages = 0;
    int darkImages = 0;
    for (const CorpusImage &item : corpus) {
        paths.append(folder.filePath(item.name + QStringLiteral(".png")));
        item.image.save(paths.last());
        if (!corpusFolder.isEmpty())
            item.image.save(QDir(corpusFolder).filePath(item.name + QStringLiteral(".png")));
        textImages += item.payloads.isEmpty() ? 1 : 0;
        darkImages += item.isDark ? 1 : 0;
    }
    out << "Corpus: " << corpus.size() << " images (" << textImages
        << " text in 6 fonts, 10-16 px, "
        << "scale 1 and 2, 6 themes; " << corpus.size() - textImages << " with 2-3 codes each; "
        << darkImages << " dark)\n";
    out << "OpenMP thread limit available: " << (TesseractEngine::canLimitThreads() ? "yes" : "no")
        << "\n\n";
    out.flush();

    RecognitionOptions options;
    options.stripHyphenation = false;
    RecognitionOptions textOnly = options;
    textOnly.detectBarcodes = false;

    // Ours: a cold first call, then the whole corpus twice with warm engines.
    Recognizer recognizer;
    TesseractEngine::setSingleThreaded(true);
    TesseractEngine::releaseIdleEngines();
    const double cold = recognize(recognizer, corpus.first().image, options).ms;
    Score ours;
    CodeScore ourCodes;
    QList<double> oursCodeImagesMs;
    for (int round = 0; round < 2; ++round) {
        for (const CorpusImage &item : corpus) {
            const Timed timed = recognize(recognizer, item.image, options);
            ours.milliseconds.append(timed.ms);
            if (round > 0)
                continue;
            if (item.payloads.isEmpty())
                ours.add(item, timed.result.text);
            QStringList payloads;
            for (const DetectedCode &code : timed.result.codes)
                payloads.append(code.payload);
            ourCodes.add(item, payloads);
            if (isVerbose)
                printDifferences(item, timed.result.text, payloads);
        }
    }
    const int threadsSingle = processThreads();

    Score unprepared;
    CodeScore luminanceOnly;
    for (const CorpusImage &item : corpus) {
        if (item.payloads.isEmpty())
            unprepared.add(item, readUnprepared(item.image));
        luminanceOnly.add(item, zxingLuminanceOnly(item.image));
    }

    // The plain tool, single-threaded (its text is the same with more threads).
    const QString tesseract = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    Score plain;
    if (!tesseract.isEmpty()) {
        for (int i = 0; i < corpus.size(); ++i) {
            const CliRun run = runTesseract(tesseract, paths.at(i), true);
            plain.milliseconds.append(run.ms);
            if (corpus.at(i).payloads.isEmpty())
                plain.add(corpus.at(i), run.text);
        }
    }

    out << "Accuracy (" << textImages << " text images, " << ours.linesTotal << " lines)\n";
    row(QString(), {QStringLiteral("KeloLens"), QStringLiteral("tesseract CLI"),
                    QStringLiteral("KeloLens unprepared")});
    const auto recall = [](const Score &s) {
        return s.linesTotal ? double(s.linesFound) / s.linesTotal : 0.0;
    };
    const auto paragraphs = [](const Score &s) {
        return s.images ? double(s.paragraphsRight) / s.images : 0.0;
    };
    row(QStringLiteral("mean CER (whitespace-normalized)"),
        {percent(Metrics::mean(ours.cer)),
         tesseract.isEmpty() ? QStringLiteral("n/a") : percent(Metrics::mean(plain.cer)),
         percent(Metrics::mean(unprepared.cer))});
    row(QStringLiteral("exact-line recall"),
        {QString::number(recall(ours), 'f', 3), QString::number(recall(plain), 'f', 3),
         QString::number(recall(unprepared), 'f', 3)});
    const auto split = [](const Score &s) {
        return QStringLiteral("%1 / %2")
            .arg(double(s.linesFound - s.codeLinesFound) /
                     std::max(1, s.linesTotal - s.codeLinesTotal),
                 0, 'f', 3)
            .arg(double(s.codeLinesFound) / std::max(1, s.codeLinesTotal), 0, 'f', 3);
    };
    row(QStringLiteral("  recall, prose / program code"),
        {split(ours), split(plain), split(unprepared)});
    row(QStringLiteral("paragraph-count accuracy"),
        {QString::number(paragraphs(ours), 'f', 3), QString::number(paragraphs(plain), 'f', 3),
         QString::number(paragraphs(unprepared), 'f', 3)});
    for (const auto &[theme, rates] : ours.cerByTheme) {
        row(QStringLiteral("  CER, %1 theme").arg(theme),
            {percent(Metrics::mean(rates)), percent(Metrics::mean(plain.cerByTheme[theme])),
             percent(Metrics::mean(unprepared.cerByTheme[theme]))});
    }
    out << '\n';
    row(QStringLiteral("Codes (all images)"),
        {QStringLiteral("KeloLens"), QStringLiteral("ZXing, luminance only")});
    row(QStringLiteral("codes found"),
        {QStringLiteral("%1/%2").arg(ourCodes.found).arg(ourCodes.expected),
         QStringLiteral("%1/%2").arg(luminanceOnly.found).arg(luminanceOnly.expected)});
    row(QStringLiteral("false positives"),
        {QString::number(ourCodes.falsePositives), QString::number(luminanceOnly.falsePositives)});
    out << '\n';
    out.flush();

    out << "Latency, image to result (" << corpus.size() << " images)\n";
    row(QString(), {QStringLiteral("KeloLens"), QStringLiteral("tesseract CLI 1 thread")});
    const double plainP50 = Metrics::percentile(plain.milliseconds, 0.5);
    row(QStringLiteral("cold first call"), {ms(cold), QStringLiteral("every call is cold")});
    row(QStringLiteral("warm p50"),
        {ms(Metrics::percentile(ours.milliseconds, 0.5)), ms(plainP50)});
    row(QStringLiteral("warm p95"), {ms(Metrics::percentile(ours.milliseconds, 0.95)),
                                     ms(Metrics::percentile(plain.milliseconds, 0.95))});
    out << '\n';
    out.flush();

    // Both passes against each pass alone, on captures holding a text block and a few codes.
    QList<int> textIndexes;
    QList<int> codeIndexes;
    for (int i = 0; i < corpus.size(); ++i)
        (corpus.at(i).payloads.isEmpty() ? textIndexes : codeIndexes).append(i);
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
        (void)recognize(recognizer, capture, options);
        const double t = recognize(recognizer, capture, textOnly).ms;
        QElapsedTimer timer;
        timer.start();
        (void)Recognizer::detectCodes(capture);
        const double c = elapsedMs(timer);
        const double b = recognize(recognizer, capture, options).ms;
        textAlone.append(t);
        codesAlone.append(c);
        both.append(b);
        longer.append(std::max(t, c));
        sum.append(t + c);
    }
    out << "Text and codes together (" << both.size() << " captures of text beside codes, mean)\n";
    row(QStringLiteral("text pass alone"), {ms(Metrics::mean(textAlone))});
    row(QStringLiteral("code pass alone"), {ms(Metrics::mean(codesAlone))});
    row(QStringLiteral("longer of the two / their sum"),
        {ms(Metrics::mean(longer)) + QStringLiteral(" / ") + ms(Metrics::mean(sum))});
    row(QStringLiteral("both, concurrently"), {ms(Metrics::mean(both))});
    out << '\n';
    out.flush();

    // Threads: the six largest text images, single-threaded against OpenMP's default.
    QList<int> largest;
    for (int i = 0; i < corpus.size(); ++i) {
        if (corpus.at(i).payloads.isEmpty())
            largest.append(i);
    }
    std::sort(largest.begin(), largest.end(), [&](int a, int b) {
        return qint64(corpus.at(a).image.width()) * corpus.at(a).image.height() >
               qint64(corpus.at(b).image.width()) * corpus.at(b).image.height();
    });
    largest = largest.mid(0, 6);
    QList<double> oursSingle;
    QList<double> oursMulti;
    QList<double> plainSingle;
    QList<double> plainMulti;
    for (int i : largest) {
        oursSingle.append(recognize(recognizer, corpus.at(i).image, textOnly).ms);
    }
    TesseractEngine::setSingleThreaded(false);
    (void)recognize(recognizer, corpus.at(largest.first()).image, textOnly);
    for (int i : largest)
        oursMulti.append(recognize(recognizer, corpus.at(i).image, textOnly).ms);
    const int threadsMulti = processThreads();
    TesseractEngine::setSingleThreaded(true);
    if (!tesseract.isEmpty()) {
        for (int i : largest) {
            plainSingle.append(runTesseract(tesseract, paths.at(i), true).ms);
            plainMulti.append(runTesseract(tesseract, paths.at(i), false).ms);
        }
    }
    out << "Threads (" << largest.size() << " largest text images, text pass, p50; "
        << QThread::idealThreadCount() << " cores)\n";
    row(QString(), {QStringLiteral("one thread"), QStringLiteral("OpenMP default")});
    row(QStringLiteral("KeloLens"),
        {ms(Metrics::percentile(oursSingle, 0.5)), ms(Metrics::percentile(oursMulti, 0.5))});
    row(QStringLiteral("tesseract CLI"),
        {ms(Metrics::percentile(plainSingle, 0.5)), ms(Metrics::percentile(plainMulti, 0.5))});
    row(QStringLiteral("threads in the process"),
        {QString::number(threadsSingle), QString::number(threadsMulti)});
    out << '\n';

    const double cerRatio =
        Metrics::mean(plain.cer) > 0 ? Metrics::mean(ours.cer) / Metrics::mean(plain.cer) : 0;
    out << "Goals\n";
    row(QStringLiteral("CER at most 1/5 of the plain tool"),
        {QStringLiteral("%1 (ratio %2)").arg(goal(cerRatio <= 0.2)).arg(cerRatio, 0, 'f', 3)});
    row(QStringLiteral("exact-line recall at least 0.95"),
        {QStringLiteral("%1 (%2)").arg(goal(recall(ours) >= 0.95)).arg(recall(ours), 0, 'f', 3)});
    row(QStringLiteral("every code, no false positive"),
        {goal(ourCodes.found == ourCodes.expected && ourCodes.falsePositives == 0)});
    const double ourP50 = Metrics::percentile(ours.milliseconds, 0.5);
    row(QStringLiteral("warm p50 <= plain tool 1 thread"),
        {QStringLiteral("%1 (%2 vs %3)").arg(goal(ourP50 <= plainP50), ms(ourP50), ms(plainP50))});
    const double overlap = Metrics::mean(both) / std::max(1.0, Metrics::mean(longer));
    row(QStringLiteral("codes on ~ longer pass, not sum"),
        {QStringLiteral("%1 (both = %2 x longer, sum = %3 x longer)")
             .arg(goal(Metrics::mean(both) < Metrics::mean(sum)))
             .arg(overlap, 0, 'f', 2)
             .arg(Metrics::mean(sum) / std::max(1.0, Metrics::mean(longer)), 0, 'f', 2)});
    out << "\nTotal benchmark time: " << QString::number(total.elapsed() / 1000.0, 'f', 1)
        << " s\n";
    out.flush();
    return 0;
}
