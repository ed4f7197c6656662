// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageBench.h"

#include "Corpus.h"
#include "KeloLens/Recognition/AutomaticLanguages.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "Metrics.h"
#include "Readers.h"
#include "Table.h"
#include "samples/SampleImages.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>

#include <ctime>

using namespace Table;

namespace {

struct LanguagePage
{
    const char *language;
    const char *dataName;
    QStringList lines;
};

const QList<LanguagePage> &pages()
{
    static const QList<LanguagePage> list = {
        {"English",
         "eng",
         {"The settings window keeps every change at once.",
          "Press the shortcut, drag over the text, and it",
          "is on the clipboard before you let go of the mouse.",
          "Nothing you capture is stored or sent anywhere."}},
        {"German",
         "deu",
         {"Die Einstellungen werden sofort übernommen.",
          "Drücken Sie das Kürzel, ziehen Sie über den Text,",
          "und er liegt in der Zwischenablage, bevor Sie die",
          "Maus loslassen. Größere Bereiche dauern länger."}},
        {"French",
         "fra",
         {"Les réglages sont appliqués immédiatement.",
          "Appuyez sur le raccourci, faites glisser sur le texte",
          "et il se trouve dans le presse-papiers avant même",
          "que vous relâchiez la souris. Rien n'est envoyé."}},
        {"Russian",
         "rus",
         {"Настройки применяются сразу же после изменения.",
          "Нажмите сочетание клавиш, выделите текст, и он",
          "окажется в буфере обмена раньше, чем вы отпустите",
          "кнопку мыши. Ничего не сохраняется и не отправляется."}},
        {"Greek",
         "ell",
         {"Οι ρυθμίσεις εφαρμόζονται αμέσως μετά την αλλαγή.",
          "Πατήστε τη συντόμευση, σύρετε πάνω από το κείμενο,",
          "και βρίσκεται στο πρόχειρο πριν αφήσετε το ποντίκι.",
          "Τίποτα δεν αποθηκεύεται ούτε αποστέλλεται πουθενά."}},
    };
    return list;
}

double medianMs(int runs, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(Readers::elapsedMs(timer));
    }
    return Metrics::percentile(times, 0.5);
}

// The processor time of work done on the calling thread alone: what it costs on an idle machine,
// where the wall clock on a busy one counts the other processes too.
double medianThreadMs(int runs, const std::function<void()> &work)
{
    const auto now = [] {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
    };
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = now();
        work();
        times.append(now() - start);
    }
    return Metrics::percentile(times, 0.5);
}

} // namespace

LanguageFigures runLanguageBench(const BenchContext &context)
{
    LanguageFigures figures;
    const QString system = RecognitionLanguages::dataDirectory();
    const QStringList installed = RecognitionLanguages::installedDataNames(system);
    figures.isComplete = installed.contains(QStringLiteral("osd"));
    Recognizer recognizer;
    heading(QStringLiteral("Languages: pages read on Automatic (15 px DejaVu Sans)"));
    row(QString(), {QStringLiteral("KeloLens Automatic"), QStringLiteral("tesseract -l eng")});
    for (const LanguagePage &page : pages()) {
        if (!installed.contains(QLatin1String(page.dataName))) {
            figures.isComplete = false;
            row(QLatin1String(page.language), {QStringLiteral("pack not installed"), QString()});
            continue;
        }
        const QImage image = SampleImages::text(page.lines, SampleImages::textStyle(15), 640);
        const QString truth = page.lines.join(QLatin1Char('\n'));
        const RecognitionResult result =
            QCoro::waitFor(recognizer.recognize(image, {}, RecognitionOptions{}));
        LanguageFigures::Page figure{QLatin1String(page.language),
                                     Metrics::characterErrorRate(truth, result.text), -1};
        if (!context.tesseract.isEmpty()) {
            const QString path =
                context.folder.filePath(QLatin1String(page.dataName) + QStringLiteral(".png"));
            image.save(path);
            figure.plainCer = Metrics::characterErrorRate(
                truth, Readers::runTesseract(context.tesseract, path, true).text);
        }
        if (context.isVerbose) {
            out() << page.language << ": \"" << result.text << "\"\n";
        }
        row(figure.language,
            {percent(figure.oursCer),
             figure.plainCer < 0 ? QStringLiteral("n/a") : percent(figure.plainCer)});
        figures.pages.append(figure);
    }

    // A small capture: one short line, as when copying a name or an error message.
    const QImage small = SampleImages::text(
        {QStringLiteral("Connection refused: port 8080 is busy")}, SampleImages::textStyle(14), 0);
    const AutomaticLanguages automatic;
    const QStringList ui{QStringLiteral("en-US")};
    QDir englishOnly(context.folder.filePath(QStringLiteral("english-only")));
    englishOnly.mkpath(QStringLiteral("."));
    for (const char *name : {"eng.traineddata", "osd.traineddata"}) {
        QFile::link(system + u'/' + QLatin1String(name), englishOnly.filePath(QLatin1String(name)));
    }
    constexpr int runs = 15;
    (void)automatic.choose(small, englishOnly.path(), ui);
    figures.detectionMs =
        medianMs(runs, [&] { (void)automatic.choose(small, englishOnly.path(), ui); });
    (void)automatic.choose(small, system, ui);
    figures.detectionThreadMs =
        medianThreadMs(runs, [&] { (void)automatic.choose(small, englishOnly.path(), ui); });
    figures.choiceMs = medianMs(runs, [&] { (void)automatic.choose(small, system, ui); });
    const auto read = [&](const QStringList &languages) {
        (void)QCoro::waitFor(recognizer.recognize(small, languages, RecognitionOptions{}));
    };
    read({});
    figures.automaticMs = medianMs(runs, [&] { read({}); });
    read({QStringLiteral("en")});
    figures.explicitMs = medianMs(runs, [&] { read({QStringLiteral("en")}); });
    // A paragraph in another Latin language than the desktop's: read once, chosen by its words.
    const LanguagePage &german = pages().at(1);
    const QImage paragraph = SampleImages::text(german.lines, SampleImages::textStyle(15), 640);
    const auto readParagraph = [&](const QStringList &languages) {
        (void)QCoro::waitFor(recognizer.recognize(paragraph, languages, RecognitionOptions{}));
    };
    readParagraph({});
    figures.paragraphAutomaticMs = medianMs(5, [&] { readParagraph({}); });
    readParagraph({QStringLiteral("de")});
    figures.paragraphExplicitMs = medianMs(5, [&] { readParagraph({QStringLiteral("de")}); });
    // A full screen of English text: what the choice costs before a large read starts.
    const QImage screen = Corpus::fullScreenPages().constFirst().image;
    (void)automatic.choose(screen, system, ui);
    figures.screenChoiceMs = medianMs(3, [&] { (void)automatic.choose(screen, system, ui); });
    heading(QStringLiteral("Languages: a small capture (%1x%2 px), warm medians of %3")
                .arg(small.width())
                .arg(small.height())
                .arg(runs));
    const AutomaticChoice chosen = automatic.choose(small, system, ui);
    const RecognitionResult smallText =
        QCoro::waitFor(recognizer.recognize(small, {}, RecognitionOptions{}));
    row(QStringLiteral("script, languages chosen"),
        {QStringLiteral("%1, %2").arg(
            chosen.script,
            chosen.candidates.isEmpty()
                ? chosen.languages.join(u'+')
                : automatic.languagesByWords(chosen.candidates, smallText.text, system).join(u'+') +
                      QStringLiteral(" (by the words read, of ") +
                      chosen.candidates.join(QStringLiteral(", ")) + u')')});
    row(QStringLiteral("script detection (processor time)"),
        {QStringLiteral("%1 (%2)").arg(ms(figures.detectionMs), ms(figures.detectionThreadMs))});
    row(QStringLiteral("detection and choice, %1 Latin languages")
            .arg(AutomaticLanguages::languagesOfScript(QStringLiteral("Latn"), installed, ui)
                     .size()),
        {ms(figures.choiceMs)});
    row(QStringLiteral("read on Automatic / in English"),
        {QStringLiteral("%1 / %2").arg(ms(figures.automaticMs), ms(figures.explicitMs))});
    row(QStringLiteral("German paragraph (%1x%2): Automatic / in German")
            .arg(paragraph.width())
            .arg(paragraph.height()),
        {QStringLiteral("%1 / %2").arg(ms(figures.paragraphAutomaticMs),
                                       ms(figures.paragraphExplicitMs))});
    const AutomaticChoice onScreen = automatic.choose(screen, system, ui);
    row(QStringLiteral("choice on a full screen (1920x1080)"),
        {QStringLiteral("%1 (%2, %3)")
             .arg(ms(figures.screenChoiceMs), onScreen.script, onScreen.languages.join(u'+'))});
    return figures;
}
