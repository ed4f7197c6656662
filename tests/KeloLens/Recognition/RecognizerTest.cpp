// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/Recognizer.h"

#include "KeloLens/Recognition/AutomaticLanguages.h"
#include "KeloLens/Recognition/LookAlikes.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "samples/SampleImages.h"
#include "support/TestSupport.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <atomic>
#include <gtest/gtest.h>

using namespace SampleImages;
using F = ZXing::BarcodeFormat;

namespace {

const QStringList sampleParagraphs = {
    QStringLiteral("Screen text is small and often anti-aliased,"),
    QStringLiteral("so the recognizer enlarges it before reading"),
    QStringLiteral("and keeps every line in its place."),
    QString(),
    QStringLiteral("Write to help@example.org for questions."),
};

RecognitionResult recognize(const QImage &image, RecognitionOptions options = {},
                            const QStringList &languages = {QStringLiteral("en")})
{
    Recognizer recognizer;
    return QCoro::waitFor(recognizer.recognize(image, languages, options));
}

QImage textImage(const QStringList &lines, const Theme &theme = light, int pixelSize = 14)
{
    return text(lines, textStyle(pixelSize, theme), 640);
}

QStringList foundCodes(const QImage &image)
{
    QStringList found;
    for (const LocatedCode &located : Recognizer::detectCodes(image)) {
        found.append(located.code.symbology + QLatin1Char(':') + located.code.payload);
    }
    found.sort();
    return found;
}

} // namespace

TEST(Recognizer, ReadsLightAndDarkParagraphsInBothLineBreakModes)
{
    const RecognitionResult kept = recognize(textImage(sampleParagraphs, light, 13));
    ASSERT_EQ(kept.paragraphs.size(), 2);
    EXPECT_EQ(kept.paragraphs[0].lines, sampleParagraphs.mid(0, 3));
    EXPECT_EQ(kept.paragraphs[1].lines, QStringList{sampleParagraphs[4]});
    EXPECT_EQ(kept.text, sampleParagraphs.join(QLatin1Char('\n')));
    EXPECT_TRUE(kept.codes.isEmpty());

    RecognitionOptions joined;
    joined.lineBreaks = LineBreakMode::joinParagraphs;
    const RecognitionResult dark =
        recognize(textImage(sampleParagraphs, SampleImages::dark, 12), joined);
    EXPECT_EQ(dark.paragraphs, kept.paragraphs);
    EXPECT_EQ(dark.text, sampleParagraphs.mid(0, 3).join(QLatin1Char(' ')) +
                             QStringLiteral("\n\n") + sampleParagraphs[4]);
}

TEST(Recognizer, JoinsAWordHyphenatedAtALineEndOnlyWhenAsked)
{
    const QImage image = textImage(
        {QStringLiteral("The capture goes through recog-"), QStringLiteral("nition in one pass.")});
    EXPECT_EQ(recognize(image).text,
              QStringLiteral("The capture goes through recognition in one pass."));
    // A compound written with a hyphen keeps it (the system's English dictionary says so).
    EXPECT_EQ(recognize(textImage({QStringLiteral("A short and self-"),
                                   QStringLiteral("contained example.")}))
                  .text,
              QStringLiteral("A short and self-contained example."));
    RecognitionOptions keepHyphens;
    keepHyphens.stripHyphenation = false;
    EXPECT_EQ(recognize(image, keepHyphens).text,
              QStringLiteral("The capture goes through recog-\nnition in one pass."));
}

TEST(Recognizer, ReadsProgramTextAsDrawnAndDropsNoLine)
{
    // Small snippets whose short lines page layout once took for noise, and code whose
    // indentation, spaces and underscores the engine lost.
    struct Case
    {
        QStringList lines;
        const char *family;
        int pixelSize;
        Theme theme;
        double lineSpacing = 1.5;
        QPoint margin = QPoint(16, 16);
    };
    const QList<Case> cases = {
        {{"if (x) {", "    y();", "}", "z = 1;"}, "DejaVu Sans Mono", 20, light},
        {{"def area(r):", "    return 3.14 * r * r"}, "DejaVu Sans Mono", 14, light},
        {{"int total(int n) {", "    int sum = 0;", "    for (int i = 0; i < n; i++) {",
          "        sum += i;", "    }", "    return sum;", "}"},
         "Liberation Mono",
         13,
         SampleImages::dark},
        {{"setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));",
          "class Cache:", "    def __init__(self):", "        self.__store = {}"},
         "DejaVu Sans Mono",
         14,
         light},
        {{"https://example.org/pay"}, "DejaVu Sans Mono", 28, light},
        // Lines set close: the "{" took the dot of the ";" under it, and half of that row.
        {{"if (x) {", "    y();", "}", "z = 1;"}, "Liberation Mono", 12, SampleImages::dark, 1.4},
        // The "l" of the line below reaches up to the underscores.
        {{"def __init__(self, old_value=None):", "    self._old_value = old_value"},
         "DejaVu Sans Mono",
         13,
         SampleImages::dark,
         1.4},
        // "y();" read "yO;": the "()" as one round letter, the ")" and ";" as one ";".
        {{"if (x) {", "    y();", "}", "z = 1;"},
         "Noto Mono",
         14,
         SampleImages::dark,
         1.4,
         {12, 10}},
        // Closing backticks read as ">", "ò" and "5"; "$" as "S" and "wc -l" as "wc -1".
        {{"const url = `https://api.example.com/v1/${id}`;",
          "let total = items.reduce((a, b) => a + b, 0);"},
         "Liberation Mono",
         15,
         {QColor(12, 12, 12), QColor(204, 204, 204)},
         1.4,
         {12, 10}},
        {{"Run `make test` before `git push`.", "Set `retry_delay` to `100` in `config.yaml`."},
         "JetBrains Mono",
         12,
         {QColor(253, 246, 227), QColor(88, 110, 117)},
         1.4,
         {12, 10}},
        {{"$ grep -rn 'TODO' src/ | wc -l", "$ export SOL_SOCKET=0", "$ echo \"$HOME\" > out.txt"},
         "Noto Mono",
         14,
         SampleImages::dark,
         1.4,
         {12, 10}},
        // An asterisk read as "x", and "()" read as "0)" in small type.
        {{"area = 3.14 * r * r", "print(f\"file_name: {file_name}\")"},
         "Liberation Mono",
         16,
         {QColor(12, 12, 12), QColor(204, 204, 204)},
         1.4,
         {12, 10}},
        {{"if (x) {", "    y();", "}", "z = 1;"},
         "Noto Sans Mono",
         11,
         {QColor(253, 246, 227), QColor(88, 110, 117)},
         1.4,
         {12, 10}},
        // Boxes drifting a cell near a line's end: "None):" read as "Non):", and "-l" as "-ll".
        {{"$ grep -rn 'TODO' src/ | wc -l", "$ export O_RDONLY=42", "$ echo \"$HOME\" > out.txt"},
         "Liberation Mono",
         12,
         {QColor(30, 30, 30), QColor(212, 212, 212)},
         1.4,
         {12, 10}},
        {{"class Cache:", "    def __init__(self, item_count=None):",
          "        self._item_count = item_count", "        self.__store = {}"},
         "Noto Mono",
         15,
         {QColor(246, 245, 244), QColor(46, 52, 54)},
         1.4,
         {12, 10}},
    };
    for (const Case &c : cases) {
        TextStyle style = textStyle(c.pixelSize, c.theme);
        style.family = QString::fromLatin1(c.family);
        style.lineSpacing = c.lineSpacing;
        EXPECT_EQ(recognize(text(c.lines, style, 0, c.margin)).text,
                  c.lines.join(QLatin1Char('\n')));
    }
}

TEST(Recognizer, TheLettersOfACloselySetLineBelowAreNoUnderscores)
{
    // A terminal's rows stand closer than an editor's: the tops of "42" and of "CMakeCache" lie
    // just under the spaces above them.
    const QStringList lines = {QStringLiteral("$ grep -rn TODO src/ | wc -l"), QStringLiteral("42"),
                               QStringLiteral("$ ls build/"),
                               QStringLiteral("CMakeCache.txt  CMakeFiles  bin")};
    TextStyle style = textStyle(13, dark);
    style.family = QStringLiteral("DejaVu Sans Mono");
    style.lineSpacing = 1.15;
    EXPECT_EQ(recognize(text(lines, style, 0, QPoint(4, 4))).text, lines.join(QLatin1Char('\n')));
}

TEST(Recognizer, MendsLettersThatRanTogetherInSmallType)
{
    // "rn" read as "m", where only the one reading is a word.
    TextStyle style = textStyle(12, {QColor(246, 245, 244), QColor(46, 52, 54)});
    style.family = QStringLiteral("Liberation Sans");
    style.lineSpacing = 1.4;
    const QStringList lines = {QStringLiteral("Use 'single' or \"double\" quotes, never both."),
                               QStringLiteral("Thanks again for the quick turnaround!"),
                               QStringLiteral("The modern modem is warm.")};
    EXPECT_EQ(recognize(text(lines, style, 0, QPoint(12, 10))).text, lines.join(QLatin1Char('\n')));
}

TEST(Recognizer, ReadsColumnsSideBySideOneAfterTheOther)
{
    // Two windows whose lines share heights, as in a capture of the whole screen; each row of
    // the form on the left stays one row.
    const QStringList form = {QStringLiteral("Name:"), QStringLiteral("Jane Doe"),
                              QStringLiteral("Phone:"), QStringLiteral("030 1234 5678")};
    QImage left(420, 200, QImage::Format_RGB32);
    left.fill(light.background);
    {
        QPainter painter(&left);
        const QImage labels = text({form[0], form[2]}, textStyle(14), 100);
        const QImage values = text({form[1], form[3]}, textStyle(14), 200);
        painter.drawImage(0, 0, labels);
        painter.drawImage(200, 0, values);
        painter.drawImage(
            0, 80,
            text({QStringLiteral("Notes for the meeting"), QStringLiteral("on Friday at noon")},
                 textStyle(14)));
    }
    const Theme pane{QColor(236, 239, 244), QColor(40, 40, 40)};
    const QStringList page = {
        QStringLiteral("The release was approved"), QStringLiteral("yesterday with minor changes"),
        QStringLiteral("to the settings panel and"), QStringLiteral("the capture shortcut.")};
    const RecognitionResult result =
        recognize(sideBySide({left, text(page, textStyle(14, pane), 400)}, pane, 0));
    EXPECT_EQ(result.text, QStringLiteral("Name: Jane Doe\nPhone: 030 1234 5678\n\nNotes for the "
                                          "meeting\non Friday at noon\n\n") +
                               page.join(QLatin1Char('\n')));
}

TEST(Recognizer, ReportsEachPayloadOnceWhateverItsSymbology)
{
    // Two identical barcodes once made the reader abort the process.
    const QImage image = sideBySide({qrCode("SAME-PAYLOAD"), qrCode("SAME-PAYLOAD"),
                                     code("SAME-PAYLOAD", F::Code128, 2),
                                     code("OTHER", F::Code128, 2), code("OTHER", F::Code128, 2)});
    QStringList payloads;
    for (const QString &found : foundCodes(image)) {
        payloads.append(found.section(QLatin1Char(':'), 1));
    }
    EXPECT_EQ(payloads, (QStringList{QStringLiteral("OTHER"), QStringLiteral("SAME-PAYLOAD")}));
    EXPECT_TRUE(foundCodes(image).contains(QStringLiteral("Code128:OTHER")));
}

TEST(Recognizer, FindsEveryKindOfCodeAnywhereInACapture)
{
    // The reader looks for Aztec and Data Matrix codes only along the image's middle; these sit
    // beside a QR code whose finder patterns resemble a bullseye. The Code 128 has one-pixel bars.
    const QImage image =
        sideBySide({textImage({QStringLiteral("Boarding pass and shop codes")}),
                    qrCode("https://example.org/qr", light, 3), code("5901234123457", F::EAN13, 2),
                    code("KELO-2026-0042", F::Code128, 1), code("Lot 7734", F::DataMatrix, 3),
                    code("SEAT 14C", F::Aztec, 3)});
    const QStringList expected = {"Aztec:SEAT 14C", "Code128:KELO-2026-0042", "DataMatrix:Lot 7734",
                                  "EAN13:5901234123457", "QR:https://example.org/qr"};
    for (const bool isDark : {false, true}) {
        QImage capture = image;
        if (isDark) {
            capture.invertPixels();
        }
        EXPECT_EQ(foundCodes(capture), expected) << (isDark ? "dark" : "light");
    }
}

TEST(Recognizer, FindsCodesCutAtTheEdgeTinyTintedOrOnATransparentBackground)
{
    const Theme tinted{QColor(255, 236, 179), QColor(90, 60, 0)};
    EXPECT_EQ(foundCodes(code("Lot 7734-B", F::DataMatrix, 3, light, 0, 0)),
              QStringList{"DataMatrix:Lot 7734-B"});
    EXPECT_EQ(foundCodes(code("Lot 7734-B", F::DataMatrix, 1, tinted)),
              QStringList{"DataMatrix:Lot 7734-B"});
    EXPECT_EQ(foundCodes(sideBySide({code("Lot 7734-B", F::DataMatrix, 2, tinted),
                                     textImage({QStringLiteral("Lot number")}, tinted)},
                                    tinted)),
              QStringList{"DataMatrix:Lot 7734-B"});

    // Black modules on nothing at all, as an application's window may draw them.
    QImage transparent(qrCode("https://example.org/alpha").size(), QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    const QImage modules = qrCode("https://example.org/alpha");
    for (int y = 0; y < modules.height(); ++y) {
        for (int x = 0; x < modules.width(); ++x) {
            if (qGray(modules.pixel(x, y)) < 128) {
                transparent.setPixel(x, y, qRgba(0, 0, 0, 255));
            }
        }
    }
    EXPECT_EQ(foundCodes(transparent), QStringList{"QR:https://example.org/alpha"});
}

TEST(Recognizer, TextIsNeverMadeOfACodesModules)
{
    // Codes alone give no text, so a capture of one copies the code's payload: neither a code's
    // modules, nor a linear code's bars or the digits printed under them, nor a line across two
    // codes side by side are text.
    const QList<std::pair<QImage, qsizetype>> captures = {
        {qrCode("hello world 12345"), 1},
        {code("Lot 7734-B exp 2027-01", F::DataMatrix, 4), 1},
        {retailBarcode("5901234123457"), 1},
        {retailBarcode("4006381333931", 3), 1},
        {sideBySide({qrCode("https://example.org/pay/1"), qrCode("https://example.org/pay/2")}), 2},
        {sideBySide({qrCode("WIFI:T:WPA;S:Guest;P:guest-pass;;", SampleImages::dark, 3),
                     qrCode("https://example.org/menu", SampleImages::dark, 3)},
                    SampleImages::dark, 4),
         2},
    };
    for (const auto &[capture, codes] : captures) {
        const RecognitionResult result = recognize(capture);
        EXPECT_EQ(result.text, QString());
        EXPECT_TRUE(result.paragraphs.isEmpty());
        EXPECT_EQ(result.codes.size(), codes);
    }
    // Text beside a code keeps its own lines and gains none.
    const QStringList lines = {QStringLiteral("Scan the code to join"), QString(),
                               QStringLiteral("OK"), QString(), QStringLiteral("v1.2 build 42")};
    const RecognitionResult beside =
        recognize(sideBySide({textImage(lines), qrCode("https://example.org/join")}));
    // (The engine may read the lone "OK" as "oK"; what matters is that it is there.)
    EXPECT_EQ(beside.text.toLower(),
              QStringLiteral("scan the code to join\n\nok\n\nv1.2 build 42"));
}

TEST(Recognizer, RunsNoCodePassWhenDetectionIsOff)
{
    std::atomic<int> codePasses{0};
    RecognitionPasses passes;
    passes.detectCodes = [&codePasses](const QImage &image, std::stop_token stop) {
        ++codePasses;
        return Recognizer::detectCodes(image, stop);
    };
    Recognizer recognizer(passes);
    const QImage image =
        sideBySide({qrCode("https://example.org/a"), qrCode("https://example.org/b")});

    RecognitionOptions off;
    off.detectBarcodes = false;
    EXPECT_TRUE(QCoro::waitFor(recognizer.recognize(image, {}, off)).codes.isEmpty());
    EXPECT_EQ(codePasses, 0);
    EXPECT_EQ(QCoro::waitFor(recognizer.recognize(image, {}, {})).codes.size(), 2);
    EXPECT_EQ(codePasses, 1);
}

TEST(Recognizer, AFailedTextPassStillReturnsTheCodes)
{
    RecognitionPasses passes;
    passes.recognizeText = [](const QImage &, const QStringList &,
                              std::stop_token) -> QList<RecognizedLine> {
        throw std::runtime_error("the engine gave up");
    };
    Recognizer recognizer(passes);
    const RecognitionResult result = QCoro::waitFor(
        recognizer.recognize(sideBySide({textImage({QStringLiteral("Some words beside a code")}),
                                         qrCode("https://example.org/still")}),
                             {}, {}));
    EXPECT_TRUE(result.paragraphs.isEmpty());
    EXPECT_EQ(result.text, QString());
    ASSERT_EQ(result.codes.size(), 1);
    EXPECT_EQ(result.codes[0].payload, QStringLiteral("https://example.org/still"));
}

TEST(Recognizer, BrokenAndBlankImagesGiveAnEmptyResult)
{
    const QImage garbage = QImage::fromData(QByteArray("\x89PNG\r\n\x1a\nnot really a png"));
    QImage tiny(1, 1, QImage::Format_RGB32);
    tiny.fill(Qt::black);
    QImage blank(300, 200, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    QImage wide(4000, 3, QImage::Format_Grayscale8);
    wide.fill(0);
    for (const QImage &image : {QImage(), garbage, tiny, blank, wide}) {
        EXPECT_EQ(recognize(image), RecognitionResult{});
        EXPECT_EQ(recognize(image, {}, {}), RecognitionResult{});
    }
}

TEST(Recognizer, CancellingEndsARecognitionEarlyWithWhatWasReadByThen)
{
    // A page the engines need many seconds for.
    QStringList lines;
    for (int i = 0; i < 150; ++i) {
        lines.append(
            QStringLiteral("Line %1 of a long page that takes the engines a while").arg(i));
    }
    const QImage column = textImage(lines, light, 13);
    Recognizer recognizer;
    bool isDone = false;
    RecognitionResult result;
    const auto keep = [](QCoro::Task<RecognitionResult> task, RecognitionResult *into,
                         bool *done) -> QCoro::Task<> {
        *into = co_await std::move(task);
        *done = true;
    };
    QCoro::Task<> reading = keep(recognizer.recognize(sideBySide({column, column, column, column}),
                                                      {QStringLiteral("en")}, {}),
                                 &result, &isDone);
    (void)KeloTest::waitUntil([] { return false; }, std::chrono::milliseconds(800));
    ASSERT_FALSE(isDone) << "the page was read before it could be cancelled";
    recognizer.cancelAll();
    EXPECT_TRUE(KeloTest::waitUntil([&] { return isDone; }, std::chrono::seconds(30)));
    // Ended early: most of the page's 600 lines were never read.
    EXPECT_LT(result.text.count(QStringLiteral("of a long page")), 300);

    // Later recognitions are not cancelled.
    EXPECT_EQ(QCoro::waitFor(recognizer.recognize(textImage({QStringLiteral("Still reading")}),
                                                  {QStringLiteral("en")}, {}))
                  .text,
              QStringLiteral("Still reading"));
}

TEST(AutomaticLanguages, ReadsTextInTheInstalledLanguageOfItsScriptAndNamesAScriptNoneReads)
{
    TextStyle cjk = textStyle(18);
    cjk.family = QStringLiteral("WenQuanYi Micro Hei");
    const struct
    {
        QStringList lines;
        TextStyle style;
        QString script;
        QString language;
    } samples[] = {
        {{"Съешь же ещё этих мягких французских булок,", "да выпей чаю. Широкая электрификация",
          "южных губерний даст мощный толчок подъёму."},
         textStyle(16),
         "Cyrl",
         "ru"},
        {{"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. Η γρήγορη", "καφέ αλεπού πηδάει πάνω από τον",
          "τεμπέλη σκύλο και τρέχει στο δάσος."},
         textStyle(16),
         "Grek",
         "el"},
        {{"我们的软件可以识别屏幕上的文字，", "然后把它们复制到剪贴板。",
          "这个功能非常方便而且很快。"},
         cjk,
         "Hani",
         "zh-Hans"},
        {{"Zwölf Boxkämpfer jagen Viktor quer über den", "großen Sylter Deich. Die Bücher über",
          "Äpfel und Größe gehören zur Übung."},
         textStyle(16),
         "Latn",
         "de"},
        {{"Les réglages sont appliqués immédiatement. Appuyez",
          "sur le raccourci et le texte se trouve dans le",
          "presse-papiers avant même que vous relâchiez la souris."},
         textStyle(16),
         "Latn",
         "fr"},
    };
    const QString system = RecognitionLanguages::dataDirectory();
    const AutomaticLanguages automatic;
    for (const auto &sample : samples) {
        const QImage image = text(sample.lines, sample.style, 640);
        const AutomaticChoice choice = automatic.choose(image, system, {"en-US"});
        EXPECT_EQ(choice.script, sample.script) << sample.lines.first().toStdString();
        EXPECT_FALSE(choice.isScriptUnread);
        // Latin letters are read once with the script model; the words read tell the language.
        const QStringList languages =
            choice.candidates.isEmpty()
                ? choice.languages
                : automatic.languagesByWords(choice.candidates, recognize(image, {}, {}).text,
                                             system);
        EXPECT_EQ(languages.value(0), sample.language) << sample.lines.first().toStdString();
    }
    // On a capture too large for the script model the language is chosen before the read.
    QImage tall(1200, 1400, QImage::Format_RGB32);
    tall.fill(Qt::white);
    QPainter(&tall).drawImage(0, 0, text(samples[3].lines, textStyle(16), 640));
    const AutomaticChoice large = automatic.choose(tall, system, {"en-US"});
    EXPECT_TRUE(large.candidates.isEmpty());
    EXPECT_EQ(large.languages.value(0), "de");
    // Read on Automatic, the Russian text comes out in Cyrillic, not as Latin letters.
    const RecognitionResult russian = recognize(text(samples[0].lines, textStyle(16), 640), {}, {});
    EXPECT_TRUE(russian.text.contains(QStringLiteral("электрификация")))
        << russian.text.toStdString();
    // Greek words come with the Greek mu, not the micro sign that looks the same; a unit keeps it.
    const QString greek =
        recognize(text({QStringLiteral("Οι ρυθμίσεις εφαρμόζονται αμέσως μετά την αλλαγή.")},
                       textStyle(15), 640),
                  {}, {})
            .text;
    EXPECT_TRUE(greek.contains(QStringLiteral("ρυθμίσεις")) && !greek.contains(u'µ'))
        << greek.toStdString();
    EXPECT_EQ(LookAlikes::inWordScript(QStringLiteral("5 µm: κείµενο")), "5 µm: κείμενο");
    EXPECT_EQ(LookAlikes::withBarsInWordsAsL(QStringLiteral("Add one: ke|olens | grep, A|B")),
              "Add one: kelolens | grep, A|B");

    // With English alone installed, Russian is read as well as it can be and named.
    const QTemporaryDir englishOnly;
    for (const char *name : {"eng.traineddata", "osd.traineddata"}) {
        ASSERT_TRUE(QFile::link(system + u'/' + QLatin1String(name),
                                englishOnly.path() + u'/' + QLatin1String(name)));
    }
    const AutomaticChoice unread =
        automatic.choose(text(samples[0].lines, textStyle(16), 640), englishOnly.path(), {"en-US"});
    EXPECT_EQ(unread, (AutomaticChoice{{}, "Cyrl", true, {}, true}));
    // English text there is simply English.
    EXPECT_EQ(
        automatic.choose(textImage(sampleParagraphs), englishOnly.path(), {"en-US"}).languages,
        QStringList{"en"});
}
