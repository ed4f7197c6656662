// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/CaptureFlow.h"

#include "support/TestSupport.h"
#include "support/fakes/CaptureFakes.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using KeloTest::FakePermissionChecker;
using KeloTest::FakeRecognizer;
using KeloTest::FakeScreenCapturer;
using KeloTest::textResult;

DetectedCode code(const QString &payload)
{
    return {QStringLiteral("QR"), payload, CodeKind::text};
}

class CaptureFlowTest : public ::testing::Test
{
protected:
    CaptureFlowTest()
        : m_flow(
              m_capturer, m_permission, m_recognizer, [this] { return m_settings; }, outputs())
    {
        m_image = QImage(400, 200, QImage::Format_RGB32);
        m_image.fill(Qt::white);
    }

    CaptureFlow::Outputs outputs()
    {
        return {
            [this](const QString &text) {
                m_events.append(QStringLiteral("clipboard:") + text);
                return isClipboardTaking;
            },
            [this](const FlowPresentation &presentation) {
                m_presented.append(presentation);
                m_events.append(QStringLiteral("present"));
            },
            [this](const QString &message, std::optional<ToastLink> link) {
                m_events.append(QStringLiteral("toast:") + message +
                                (link ? QStringLiteral(" [Open Settings]") : QString()));
            },
            [this] { m_events.append(QStringLiteral("permissionDenied")); },
            [this] { m_events.append(QStringLiteral("sound")); },
        };
    }

    void captureImage(const RecognitionResult &result)
    {
        m_capturer.outcome = CapturedImage{m_image, m_region};
        m_recognizer.result = result;
    }

    void run(bool codesOnly)
    {
        QCoro::waitFor(m_flow.run(codesOnly));
        EXPECT_FALSE(m_flow.isCapturing());
    }

    // The events of one run.
    QStringList runEvents(bool codesOnly)
    {
        m_events.clear();
        run(codesOnly);
        return m_events;
    }

    CaptureSettings m_settings;
    bool isClipboardTaking = true;
    FakeScreenCapturer m_capturer;
    FakePermissionChecker m_permission;
    FakeRecognizer m_recognizer;
    CaptureFlow m_flow;
    QImage m_image;
    ExactRect m_region{800, 400, 200, 100};
    QStringList m_events;
    QList<FlowPresentation> m_presented;
};

} // namespace

TEST_F(CaptureFlowTest, CapturesThatFindNothingOnlySaySo)
{
    m_settings.playSound = true;
    // Without screen access the capturer is not even started.
    m_permission.answers = {false};
    captureImage(textResult(QStringLiteral("hello")));
    EXPECT_EQ(runEvents(false), QStringList{QStringLiteral("permissionDenied")});
    EXPECT_EQ(m_capturer.calls, 0);

    m_capturer.outcome = CaptureCancelled{};
    EXPECT_TRUE(runEvents(false).isEmpty());
    m_capturer.outcome = CaptureFailed{QStringLiteral("Couldn't start screencapture: gone")};
    EXPECT_EQ(runEvents(false),
              QStringList{QStringLiteral("toast:Couldn't start screencapture: gone")});
    EXPECT_EQ(m_recognizer.calls, 0);

    // An empty result asks about screen access again: a denied one captures a blank image.
    captureImage({});
    EXPECT_EQ(runEvents(false), QStringList{QStringLiteral("toast:No text or codes found")});
    m_permission.answers = {true, false};
    EXPECT_EQ(runEvents(false),
              QStringList{QStringLiteral(
                  "toast:Nothing captured. Check Screen Recording permission. [Open Settings]")});

    // A code capture over text but no code copies nothing either.
    captureImage(textResult(QStringLiteral("text but no code")));
    EXPECT_EQ(runEvents(true), QStringList{QStringLiteral("toast:No codes found")});
    EXPECT_FALSE(m_flow.lastPresentation().has_value());
    // Asking for codes reads them even with code detection off for text captures.
    m_settings.options.detectBarcodes = false;
    run(true);
    EXPECT_TRUE(m_recognizer.lastOptions.detectBarcodes);
    run(false);
    EXPECT_FALSE(m_recognizer.lastOptions.detectBarcodes);

    // None of these replace the last presentation.
    captureImage(textResult(QStringLiteral("first")));
    run(false);
    const auto first = m_flow.lastPresentation();
    ASSERT_TRUE(first.has_value());
    m_capturer.outcome = CaptureCancelled{};
    run(false);
    m_capturer.outcome = CaptureFailed{QStringLiteral("x")};
    run(false);
    EXPECT_EQ(m_flow.lastPresentation(), first);
}

TEST_F(CaptureFlowTest, WithThePanelTheTextIsCopiedThenTheSoundThenThePanel)
{
    m_settings.playSound = true;
    m_settings.languages = {QStringLiteral("de-DE"), QStringLiteral("en-US")};
    m_settings.options = {LineBreakMode::joinParagraphs, false, false};
    RecognitionResult result = textResult(QStringLiteral("Hello world"));
    result.codes = {code(QStringLiteral("https://example.org"))};
    captureImage(result);
    EXPECT_EQ(runEvents(false), (QStringList{QStringLiteral("clipboard:Hello world"),
                                             QStringLiteral("sound"), QStringLiteral("present")}));
    const FlowPresentation expected{result, FlowPresentation::Mode::all, m_region, 1};
    EXPECT_EQ(m_presented, QList<FlowPresentation>{expected});
    EXPECT_EQ(m_flow.lastPresentation(), expected);
    // Recognition reads the image with the settings of the moment.
    EXPECT_EQ(m_recognizer.lastImage.cacheKey(), m_image.cacheKey());
    EXPECT_EQ(m_recognizer.lastLanguages, m_settings.languages);
    EXPECT_EQ(m_recognizer.lastOptions, m_settings.options);

    // A code capture copies a lone code and shows all of them.
    m_settings.playSound = false;
    RecognitionResult two = textResult(QStringLiteral("label"));
    two.codes = {code(QStringLiteral("one")), code(QStringLiteral("two"))};
    captureImage(two);
    EXPECT_EQ(runEvents(true), QStringList{QStringLiteral("present")});
    EXPECT_EQ(m_flow.lastPresentation(),
              (FlowPresentation{two, FlowPresentation::Mode::codesOnly, m_region, 2}));
    RecognitionResult one = textResult(QStringLiteral("label"));
    one.codes = {code(QStringLiteral("WIFI:S:Home;T:WPA;P:secret;;"))};
    captureImage(one);
    EXPECT_EQ(runEvents(true),
              (QStringList{QStringLiteral("clipboard:WIFI:S:Home;T:WPA;P:secret;;"),
                           QStringLiteral("present")}));
}

TEST_F(CaptureFlowTest, WithoutThePanelAToastSaysWhatWasCopied)
{
    m_settings.showPanel = false;
    m_settings.playSound = true;

    RecognitionResult twoCodes;
    twoCodes.codes = {code(QStringLiteral("a")), code(QStringLiteral("b"))};
    captureImage(twoCodes);
    EXPECT_EQ(runEvents(true),
              (QStringList{QStringLiteral("sound"), QStringLiteral("toast:Found 2 codes")}));
    // The panel was off, but "Last Result" can still show it.
    EXPECT_EQ(m_flow.lastPresentation(),
              (FlowPresentation{twoCodes, FlowPresentation::Mode::codesOnly, m_region, 1}));
    EXPECT_TRUE(m_presented.isEmpty());

    m_settings.playSound = false;
    // A text capture over a lone code and no text copies the payload.
    RecognitionResult codeOnly;
    codeOnly.codes = {code(QStringLiteral("https://example.org"))};
    captureImage(codeOnly);
    EXPECT_EQ(runEvents(false), (QStringList{QStringLiteral("clipboard:https://example.org"),
                                             QStringLiteral("toast:Copied code")}));

    // Text beats codes in a text capture, counted in user-perceived characters.
    RecognitionResult textAndCodes = textResult(QStringLiteral("Hi"));
    textAndCodes.codes = twoCodes.codes;
    captureImage(textAndCodes);
    EXPECT_EQ(runEvents(false), (QStringList{QStringLiteral("clipboard:Hi"),
                                             QStringLiteral("toast:Copied 2 characters")}));
    const QList<std::pair<QString, QString>> cases{
        {QStringLiteral("A"), QStringLiteral("toast:Copied 1 character")},
        // Family: man, ZWJ, woman, ZWJ, girl: five code points, eight UTF-16 units, one character.
        {QString::fromUtf8(
             "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"),
         QStringLiteral("toast:Copied 1 character")},
        // e with a combining acute accent, then a flag (two regional indicators).
        {QString::fromUtf8("e\xCC\x81\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"),
         QStringLiteral("toast:Copied 2 characters")},
    };
    for (const auto &[text, toast] : cases) {
        captureImage(textResult(text));
        EXPECT_EQ(runEvents(false), (QStringList{QStringLiteral("clipboard:") + text, toast}));
    }
}

TEST_F(CaptureFlowTest, AClipboardThatRefusesTheTextIsSaidWithOrWithoutThePanel)
{
    isClipboardTaking = false;
    captureImage(textResult(QStringLiteral("lost")));
    const QString failed =
        QStringLiteral("toast:") + QString::fromLatin1(CaptureFlow::clipboardFailedMessage);
    m_settings.showPanel = false;
    EXPECT_EQ(runEvents(false), (QStringList{QStringLiteral("clipboard:lost"), failed}));
    m_settings.showPanel = true;
    EXPECT_EQ(runEvents(false),
              (QStringList{QStringLiteral("clipboard:lost"), QStringLiteral("present"), failed}));
}

TEST_F(CaptureFlowTest, ARequestWhileACaptureIsUnderWayDoesNothing)
{
    m_settings.playSound = true;
    captureImage(textResult(QStringLiteral("once")));
    m_capturer.delay = 100ms;
    m_recognizer.delay = 100ms;

    QCoro::Task<> first = m_flow.run(false);
    EXPECT_TRUE(m_flow.isCapturing());
    // While the user selects...
    QCoro::waitFor(m_flow.run(false));
    QCoro::waitFor(m_flow.run(true));
    EXPECT_EQ(m_capturer.calls, 1);
    // ...and while recognition runs.
    ASSERT_TRUE(KeloTest::waitUntil([this] { return m_recognizer.calls == 1; }));
    EXPECT_TRUE(m_flow.isCapturing());
    QCoro::waitFor(m_flow.run(false));
    QCoro::waitFor(std::move(first));

    EXPECT_FALSE(m_flow.isCapturing());
    EXPECT_EQ(m_capturer.calls, 1);
    EXPECT_EQ(m_recognizer.calls, 1);
    EXPECT_EQ(m_events, (QStringList{QStringLiteral("clipboard:once"), QStringLiteral("sound"),
                                     QStringLiteral("present")}));

    // Once it is over, the next capture runs.
    m_capturer.delay = 0ms;
    m_recognizer.delay = 0ms;
    run(false);
    EXPECT_EQ(m_capturer.calls, 2);
}

TEST_F(CaptureFlowTest, AMissingLanguagePackOrAnUnreadScriptIsToldOncePerLaunch)
{
    m_settings.languages = {QStringLiteral("fr")};
    RecognitionResult result = textResult(QStringLiteral("Bonjour"));
    result.notes.missingLanguages = {QStringLiteral("fr")};
    captureImage(result);
    const QString missing =
        QStringLiteral("toast:French isn't installed, so this capture was read in English. "
                       "[Open Settings]");
    EXPECT_EQ(runEvents(false).last(), missing);
    EXPECT_EQ(runEvents(false),
              (QStringList{QStringLiteral("clipboard:Bonjour"), QStringLiteral("present")}));
    // Nothing read is no reason to keep quiet about why.
    m_settings.languages = {QStringLiteral("fr"), QStringLiteral("el")};
    RecognitionResult nothing;
    nothing.notes.missingLanguages = {QStringLiteral("fr"), QStringLiteral("el")};
    captureImage(nothing);
    EXPECT_EQ(runEvents(false),
              QStringList{QStringLiteral("toast:French and Greek aren't installed, so this capture "
                                         "was read in English. [Open Settings]")});

    // Text in a script nothing installed reads: the panel says so, once.
    m_settings.languages = {};
    result.notes = {{}, QStringLiteral("Cyrl")};
    captureImage(result);
    run(false);
    run(false);
    ASSERT_EQ(m_presented.size(), 4);
    EXPECT_EQ(m_presented[2].notice,
              QStringLiteral("This looks like Cyrillic text. Install Russian to read it."));
    EXPECT_TRUE(m_presented[3].notice.isEmpty());
}
