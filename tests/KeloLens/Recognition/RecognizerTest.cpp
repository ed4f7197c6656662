#include "KeloLens/Recognition/Recognizer.h"

#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "RecognitionFixtures.h"

#include <QCoro/QCoroTask>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>

namespace {

const QStringList kParagraphs = {
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

QString firstUninstalledLanguage()
{
    const QStringList installed =
        RecognitionLanguages::installedDataNames(RecognitionLanguages::dataDirectory());
    for (const QString &tag : RecognitionLanguages::allTags()) {
        if (!installed.contains(*RecognitionLanguages::dataNameForTag(tag)))
            return tag;
    }
    return {};
}

} // namespace

TEST(Recognizer, ReadsRenderedParagraphsInBothLineBreakModes)
{
    const QImage image = Fixtures::renderText(kParagraphs, Fixtures::light, 13);

    const RecognitionResult kept = recognize(image);
    ASSERT_EQ(kept.paragraphs.size(), 2);
    EXPECT_EQ(kept.paragraphs[0].lines, QStringList(kParagraphs.begin(), kParagraphs.begin() + 3));
    EXPECT_EQ(kept.paragraphs[1].lines, QStringList{kParagraphs[4]});
    EXPECT_EQ(kept.text, kParagraphs.join(QLatin1Char('\n')));
    EXPECT_TRUE(kept.codes.isEmpty());

    RecognitionOptions joined;
    joined.lineBreaks = LineBreakMode::joinParagraphs;
    EXPECT_EQ(recognize(image, joined).text, kParagraphs.mid(0, 3).join(QLatin1Char(' ')) +
                                                 QStringLiteral("\n\n") + kParagraphs[4]);
}

TEST(Recognizer, JoinsAWordHyphenatedAtALineEndOnlyWhenAsked)
{
    const QImage image = Fixtures::renderText(
        {QStringLiteral("The capture goes through recog-"), QStringLiteral("nition in one pass.")},
        Fixtures::light, 14);
    EXPECT_EQ(recognize(image).text,
              QStringLiteral("The capture goes through recognition in one pass."));

    RecognitionOptions keepHyphens;
    keepHyphens.stripHyphenation = false;
    EXPECT_EQ(recognize(image, keepHyphens).text,
              QStringLiteral("The capture goes through recog-\nnition in one pass."));
}

TEST(Recognizer, ReadsADarkThemeAsWellAsALightOne)
{
    const RecognitionResult light =
        recognize(Fixtures::renderText(kParagraphs, Fixtures::light, 12));
    const RecognitionResult dark = recognize(Fixtures::renderText(kParagraphs, Fixtures::dark, 12));
    EXPECT_EQ(light.text, kParagraphs.join(QLatin1Char('\n')));
    EXPECT_EQ(dark.paragraphs, light.paragraphs);
    EXPECT_EQ(dark.text, light.text);
}

TEST(Recognizer, LineBoxesAreInTheCapturedImagesBottomLeftCoordinates)
{
    // One line at a known place in a tall image: the upscaling, padding and inversion the text
    // pass does must not show in the box.
    for (const Fixtures::Theme &theme : {Fixtures::light, Fixtures::dark}) {
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(theme.background);
        QPainter painter(&image);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(13);
        painter.setFont(font);
        painter.setPen(theme.text);
        painter.drawText(QRect(200, 240, 200, 20), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Bottom right"));
        painter.end();

        const QList<RecognizedLine> lines =
            Recognizer::recognizeText(image, {QStringLiteral("en")});
        ASSERT_EQ(lines.size(), 1);
        EXPECT_EQ(lines[0].text, QStringLiteral("Bottom right"));
        const ExactRect box = lines[0].box;
        EXPECT_NEAR(box.x, 200.0 / 400, 0.01);
        EXPECT_NEAR(box.width, 80.0 / 400, 0.04);
        // The glyphs sit within rows 243 to 257, so their box's bottom edge is near 1 - 257/300.
        EXPECT_NEAR(box.y, 1 - 257.0 / 300, 0.015);
        EXPECT_NEAR(box.height, 13.0 / 300, 0.015);
    }
}

TEST(Recognizer, FindsAndClassifiesQrCodesOnLightAndDarkBackgrounds)
{
    const QImage image =
        Fixtures::sideBySide({Fixtures::qrCode("WIFI:T:WPA;S:Home;P:secret;;", Fixtures::light),
                              Fixtures::qrCode("https://example.org/dark", Fixtures::dark)},
                             Fixtures::Theme{QColor(128, 128, 128), QColor(0, 0, 0)});
    const RecognitionResult result = recognize(image);
    ASSERT_EQ(result.codes.size(), 2);
    EXPECT_EQ(result.codes[0],
              (DetectedCode{QStringLiteral("QR"), QStringLiteral("WIFI:T:WPA;S:Home;P:secret;;"),
                            CodeKind::wifi}));
    EXPECT_EQ(result.codes[1],
              (DetectedCode{QStringLiteral("QR"), QStringLiteral("https://example.org/dark"),
                            CodeKind::url}));
}

TEST(Recognizer, ReportsEachPayloadOnceWhateverItsSymbology)
{
    const QImage image = Fixtures::sideBySide(
        {Fixtures::qrCode("SAME-PAYLOAD", Fixtures::light),
         Fixtures::qrCode("SAME-PAYLOAD", Fixtures::light),
         Fixtures::codeImage("SAME-PAYLOAD", ZXing::BarcodeFormat::Code128, 2, Fixtures::light, 60),
         Fixtures::codeImage("OTHER", ZXing::BarcodeFormat::Code128, 2, Fixtures::light, 60)},
        Fixtures::light);
    const QList<DetectedCode> codes = Recognizer::detectCodes(image);
    QStringList payloads;
    for (const DetectedCode &code : codes)
        payloads.append(code.payload);
    payloads.sort();
    EXPECT_EQ(payloads, (QStringList{QStringLiteral("OTHER"), QStringLiteral("SAME-PAYLOAD")}));
    for (const DetectedCode &code : codes) {
        if (code.payload == QLatin1String("OTHER")) {
            EXPECT_EQ(code.symbology, QStringLiteral("Code128"));
        }
    }
}

TEST(Recognizer, RunsNoCodePassWhenDetectionIsOff)
{
    std::atomic<int> codePasses{0};
    RecognitionPasses passes;
    passes.detectCodes = [&codePasses](const QImage &image) {
        ++codePasses;
        return Recognizer::detectCodes(image);
    };
    Recognizer recognizer(passes);
    const QImage image =
        Fixtures::sideBySide({Fixtures::qrCode("https://example.org/a", Fixtures::light),
                              Fixtures::qrCode("https://example.org/b", Fixtures::light)},
                             Fixtures::light);

    RecognitionOptions off;
    off.detectBarcodes = false;
    const RecognitionResult withoutCodes =
        QCoro::waitFor(recognizer.recognize(image, {QStringLiteral("en")}, off));
    EXPECT_TRUE(withoutCodes.codes.isEmpty());
    EXPECT_EQ(codePasses, 0);

    const RecognitionResult withCodes =
        QCoro::waitFor(recognizer.recognize(image, {QStringLiteral("en")}, {}));
    EXPECT_EQ(withCodes.codes.size(), 2);
    EXPECT_EQ(codePasses, 1);
}

TEST(Recognizer, RunsBothPassesAtTheSameTime)
{
    // Each pass waits until the other has started: run one after the other, they never meet.
    std::atomic<int> started{0};
    const auto waitForBoth = [&started] {
        ++started;
        for (int i = 0; i < 500 && started < 2; ++i)
            QThread::msleep(10);
        return started >= 2;
    };
    std::atomic<bool> textSawBoth{false};
    std::atomic<bool> codesSawBoth{false};
    RecognitionPasses passes;
    passes.recognizeText = [&](const QImage &, const QStringList &) {
        textSawBoth = waitForBoth();
        return QList<RecognizedLine>{{QStringLiteral("text"), {0, 0.5, 1, 0.1}}};
    };
    passes.detectCodes = [&](const QImage &) {
        codesSawBoth = waitForBoth();
        return QList<DetectedCode>{{QStringLiteral("QR"), QStringLiteral("x"), CodeKind::text}};
    };
    Recognizer recognizer(passes);
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    const RecognitionResult result = QCoro::waitFor(recognizer.recognize(image, {}, {}));
    EXPECT_TRUE(textSawBoth);
    EXPECT_TRUE(codesSawBoth);
    EXPECT_EQ(result.text, QStringLiteral("text"));
    EXPECT_EQ(result.codes.size(), 1);
}

TEST(Recognizer, AFailedTextPassStillReturnsTheCodes)
{
    const QString uninstalled = firstUninstalledLanguage();
    ASSERT_FALSE(uninstalled.isEmpty());
    const QImage image = Fixtures::sideBySide(
        {Fixtures::renderText({QStringLiteral("Some words beside a code")}, Fixtures::light),
         Fixtures::qrCode("https://example.org/still", Fixtures::light)},
        Fixtures::light);
    const RecognitionResult result = recognize(image, {}, {uninstalled});
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

TEST(Recognizer, FindsEveryKindOfCodeAnywhereInACapture)
{
    // The reader looks for Aztec codes only around the image's middle; this one sits at the
    // right edge, after a QR code whose finder patterns resemble its bullseye.
    const QImage image = Fixtures::sideBySide(
        {Fixtures::renderText({QStringLiteral("Boarding pass and shop codes")}, Fixtures::light, 13,
                              260),
         Fixtures::qrCode("https://example.org/qr", Fixtures::light, 3),
         Fixtures::codeImage("5901234123457", ZXing::BarcodeFormat::EAN13, 2, Fixtures::light, 50),
         Fixtures::codeImage("Lot 7734", ZXing::BarcodeFormat::DataMatrix, 4, Fixtures::light),
         Fixtures::codeImage("SEAT 14C", ZXing::BarcodeFormat::Aztec, 3, Fixtures::light)},
        Fixtures::light);
    for (const bool isDark : {false, true}) {
        QImage capture = image;
        if (isDark)
            capture.invertPixels();
        QStringList found;
        for (const DetectedCode &code : Recognizer::detectCodes(capture))
            found.append(code.symbology + QLatin1Char(':') + code.payload);
        found.sort();
        EXPECT_EQ(found, (QStringList{"Aztec:SEAT 14C", "DataMatrix:Lot 7734",
                                      "EAN13:5901234123457", "QR:https://example.org/qr"}))
            << (isDark ? "dark" : "light");
    }
}
