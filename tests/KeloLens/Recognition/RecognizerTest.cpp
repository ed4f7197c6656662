// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/Recognizer.h"

#include "KeloLens/Recognition/AutomaticLanguages.h"
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
    RecognitionOptions keepHyphens;
    keepHyphens.stripHyphenation = false;
    EXPECT_EQ(recognize(image, keepHyphens).text,
              QStringLiteral("The capture goes through recog-\nnition in one pass."));
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
    // A code alone gives no text, so the capture copies the code's payload.
    for (const QImage &capture :
         {qrCode("hello world 12345"), code("Lot 7734-B exp 2027-01", F::DataMatrix, 4)}) {
        const RecognitionResult result = recognize(capture);
        EXPECT_EQ(result.text, QString());
        EXPECT_TRUE(result.paragraphs.isEmpty());
        EXPECT_EQ(result.codes.size(), 1);
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
    };
    const QString system = RecognitionLanguages::dataDirectory();
    const AutomaticLanguages automatic;
    for (const auto &sample : samples) {
        const AutomaticChoice choice =
            automatic.choose(text(sample.lines, sample.style, 640), system, {"en-US"});
        EXPECT_EQ(choice.script, sample.script) << sample.lines.first().toStdString();
        EXPECT_EQ(choice.languages.value(0), sample.language) << sample.lines.first().toStdString();
        EXPECT_FALSE(choice.isScriptUnread);
    }
    // Read on Automatic, the Russian text comes out in Cyrillic, not as Latin letters.
    const RecognitionResult russian = recognize(text(samples[0].lines, textStyle(16), 640), {}, {});
    EXPECT_TRUE(russian.text.contains(QStringLiteral("электрификация")))
        << russian.text.toStdString();

    // With English alone installed, Russian is read as well as it can be and named.
    const QTemporaryDir englishOnly;
    for (const char *name : {"eng.traineddata", "osd.traineddata"}) {
        ASSERT_TRUE(QFile::link(system + u'/' + QLatin1String(name),
                                englishOnly.path() + u'/' + QLatin1String(name)));
    }
    const AutomaticChoice unread =
        automatic.choose(text(samples[0].lines, textStyle(16), 640), englishOnly.path(), {"en-US"});
    EXPECT_EQ(unread, (AutomaticChoice{{}, "Cyrl", true}));
    // English text there is simply English.
    EXPECT_EQ(
        automatic.choose(textImage(sampleParagraphs), englishOnly.path(), {"en-US"}).languages,
        QStringList{"en"});
}
