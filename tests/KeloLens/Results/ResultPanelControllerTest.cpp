// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ResultPanelController.h"

#include "KeloLens/AppDelegate/ReadAgain.h"
#include "KeloLens/Capture/CaptureFlow.h"
#include "KeloLens/Recognition/LanguageNames.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "KeloLens/Results/ChipButton.h"
#include "KeloLens/Results/ChipsRow.h"
#include "KeloLens/Results/ReadAsMenu.h"
#include "KeloLens/Results/ResultPanelView.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloLens/Results/ToastController.h"
#include "KeloLens/Results/WifiPopover.h"
#include "KeloPanel/FloatingPanelController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/KeymapSource.h"
#include "samples/SampleImages.h"
#include "support/TestSupport.h"
#include "support/fakes/CaptureFakes.h"
#include "support/fakes/PlatformFakes.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using KeloPlatform::RunningApplication;
using namespace std::chrono_literals;

// X keycodes (evdev + 8) of the keys at the US positions of C, I and W, and the X Lock mask.
constexpr quint32 usCKey = 46 + 8;
constexpr quint32 usIKey = 23 + 8;
constexpr quint32 usWKey = 17 + 8;
constexpr quint32 capsLockMask = 1u << 1;
// What PasteService sends for Ctrl+V on a US layout: the evdev code of V, with Control.
constexpr uint32_t usVEvdev = 47;

KeloPlatform::KeyChord withControl(uint32_t evdevCode, bool hasShift = false)
{
    KeloPlatform::KeyChord chord;
    chord.evdevCode = evdevCode;
    chord.hasControl = true;
    chord.hasShift = hasShift;
    return chord;
}

using KeloTest::textResult;

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

class ResultPanelControllerTest : public ::testing::Test
{
protected:
    ResultPanelControllerTest()
    {
        controller.openUrl = [this](const QUrl &url) {
            opened.append(url);
            return true;
        };
        windows.frontmost = target;
    }
    ~ResultPanelControllerTest() override { controller.dismiss(); }

    // Each call is a new capture.
    void present(const QString &text, const QList<DetectedCode> &codes = {})
    {
        controller.present(textResult(text, codes), PanelMode::all,
                           SelectedRegion{{100, 100, 200, 40}}, ++captures);
        QApplication::processEvents();
    }

    // A key press delivered as the window system does: to the panel's native window.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = {},
               quint32 scanCode = 0, quint32 nativeModifiers = 0)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, nativeModifiers, text);
        QCoreApplication::sendEvent(controller.panel().panel().windowHandle(), &event);
    }

    [[nodiscard]] QPlainTextEdit *editor() { return controller.view().editor(); }
    [[nodiscard]] bool isEditorFocused() { return controller.view().isEditorFocused(); }
    [[nodiscard]] QString toastMessage() const
    {
        if (!toast.isVisible()) {
            return {};
        }
        // The label may break the message into two lines; its accessible name is the message.
        const auto *label = toast.window()->findChild<QLabel *>();
        return label ? label->accessibleName() : QString();
    }

    const RunningApplication target{4711, 99};
    KeloTest::FakeWindowSystem windows;
    KeloTest::FakeSyntheticKeys keys;
    std::unique_ptr<KeloPlatform::KeymapSource> keymap =
        KeloPlatform::createNamedKeymapSource(QStringLiteral("us"));
    Accessibility accessibility{keys};
    PasteService paste{windows, keys, KeyboardLayout(*keymap)};
    ResultViewModel model;
    ToastController toast{windows};
    PanelPosition position = PanelPosition::nearSelection;
    ResultPanelController controller{model,
                                     toast,
                                     paste,
                                     accessibility,
                                     windows,
                                     KeyboardLayout(*keymap),
                                     [this] { return position; }};
    QList<QUrl> opened;
    quint64 captures = 0;
};

} // namespace

TEST_F(ResultPanelControllerTest, ReturnPastesIntoThePreviousWindowUnlessTheEditorTakesIt)
{
    present(QStringLiteral("hello"));
    ASSERT_TRUE(controller.isVisible());
    EXPECT_FALSE(isEditorFocused());
    windows.frontmost = RunningApplication{1, 2};

    press(Qt::Key_Tab);
    EXPECT_TRUE(isEditorFocused());
    editor()->moveCursor(QTextCursor::End);
    press(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    EXPECT_EQ(model.text(), QStringLiteral("hello\n")) << "the editor breaks the line";
    EXPECT_TRUE(controller.isVisible());

    press(Qt::Key_Return, Qt::ControlModifier, QStringLiteral("\r"));
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(clipboardText(), QStringLiteral("hello\n"));
    EXPECT_EQ(windows.activations.constLast(), target);
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !keys.sent.isEmpty(); }));
    EXPECT_EQ(keys.sent, QList{withControl(usVEvdev)});

    // A terminal takes Ctrl+Shift+V: Ctrl+V would type a control character there.
    windows.frontmost = target;
    windows.classes[target.windowId] = {QStringLiteral("kitty"), QStringLiteral("kitty")};
    present(QStringLiteral("ls -l"));
    press(Qt::Key_Return);
    EXPECT_TRUE(KeloTest::waitUntil([&] { return keys.sent.size() == 2; }));
    EXPECT_EQ(keys.sent.value(1), withControl(usVEvdev, true));
    windows.classes.clear();

    // Alt pastes as one line, whatever breaks the lines; the keypad's Enter works as Return.
    present(QStringLiteral("a\rb\x0B"
                           "c\x0C"
                           "d\u0085e\u2028f\u2029g\u00A0h\u3000i\r\n\r\n  j\t "));
    press(Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(clipboardText(), QStringLiteral("a b c d e f g h i j"));
    // Only white space: nothing to paste, and the clipboard is left alone.
    present(QStringLiteral(" \n\t "));
    press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(clipboardText(), QStringLiteral("a b c d e f g h i j"));
}

TEST_F(ResultPanelControllerTest, TabEntersAndLeavesTheEditorButNotWithOtherModifiersOrCapsLock)
{
    present(QStringLiteral("text"));
    press(Qt::Key_Tab);
    EXPECT_TRUE(isEditorFocused());
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(isEditorFocused());

    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_FALSE(isEditorFocused());
    press(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"), 23, capsLockMask);
    EXPECT_FALSE(isEditorFocused());
    press(Qt::Key_Tab);
    press(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"), 23, capsLockMask);
    EXPECT_TRUE(isEditorFocused()) << "the editor keeps the focus and takes the tab itself";
    EXPECT_EQ(model.text(), QStringLiteral("\ttext"));
}

TEST_F(ResultPanelControllerTest, CtrlCCopiesEverythingUnlessTheEditorHasASelection)
{
    present(QStringLiteral("first second"));
    QGuiApplication::clipboard()->clear();
    press(Qt::Key_C, Qt::ControlModifier, {}, usCKey);
    EXPECT_EQ(clipboardText(), QStringLiteral("first second"));
    EXPECT_TRUE(model.copied());

    press(Qt::Key_Tab);
    QTextCursor cursor = editor()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);
    press(Qt::Key_C, Qt::ControlModifier, {}, usCKey);
    EXPECT_EQ(clipboardText(), QStringLiteral("first")) << "the editor copied its selection";

    // With Caps Lock on the panel leaves Ctrl+C alone.
    press(Qt::Key_Tab);
    QGuiApplication::clipboard()->clear();
    press(Qt::Key_C, Qt::ControlModifier, {}, usCKey, capsLockMask);
    EXPECT_TRUE(clipboardText().isEmpty());
}

TEST_F(ResultPanelControllerTest, CtrlCIsTheKeyThatTypesCOnTheCurrentLayout)
{
    const auto dvorak =
        KeloPlatform::createNamedKeymapSource(QStringLiteral("us"), QStringLiteral("dvorak"));
    ASSERT_NE(dvorak, nullptr);
    ResultPanelController onDvorak(model, toast, paste, accessibility, windows,
                                   KeyboardLayout(*dvorak), [] { return PanelPosition::fixed; });
    onDvorak.present(textResult(QStringLiteral("dvorak")), PanelMode::all, std::nullopt, 1);
    QGuiApplication::clipboard()->clear();
    QKeyEvent atUsC(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, usCKey, 0, 0, {});
    EXPECT_FALSE(onDvorak.handleKey(&atUsC)) << "on Dvorak the US C position types j";
    QKeyEvent atUsI(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, usIKey, 0, 0, {});
    EXPECT_TRUE(onDvorak.handleKey(&atUsI));
    EXPECT_EQ(clipboardText(), QStringLiteral("dvorak"));
    onDvorak.dismiss();
}

TEST_F(ResultPanelControllerTest, EscapeAndCtrlWCloseAndComposingTextKeepsEveryKey)
{
    present(QStringLiteral("text"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(controller.isVisible());
    present(QStringLiteral("text"));
    press(Qt::Key_W, Qt::ControlModifier, {}, usWKey);
    EXPECT_FALSE(controller.isVisible());

    present(QStringLiteral("text"));
    press(Qt::Key_Tab);
    QInputMethodEvent composing(QStringLiteral("ka"), {});
    QCoreApplication::sendEvent(editor(), &composing);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(controller.handleKey(&escape));
    EXPECT_TRUE(controller.isVisible());
}

TEST_F(ResultPanelControllerTest, PresentingTheSameCaptureAgainKeepsThePlaceAndTheUsersEdits)
{
    const RecognitionResult result = textResult(QStringLiteral("draft"));
    controller.present(result, PanelMode::all, SelectedRegion{{100, 100, 200, 40}}, 1);
    const QPoint place = controller.panel().panel().pos();
    model.setText(QStringLiteral("draft, edited"));
    controller.present(result, PanelMode::all, SelectedRegion{{500, 300, 50, 20}}, 1);
    EXPECT_EQ(controller.panel().panel().pos(), place);
    EXPECT_EQ(model.text(), QStringLiteral("draft, edited"));
    // A new capture that read the same text shows that text, and Ctrl+C copies it.
    controller.present(result, PanelMode::all, SelectedRegion{{100, 100, 200, 40}}, 2);
    EXPECT_EQ(editor()->toPlainText(), QStringLiteral("draft"));
    press(Qt::Key_C, Qt::ControlModifier, {}, usCKey);
    EXPECT_EQ(clipboardText(), QStringLiteral("draft"));
    controller.present(textResult(QStringLiteral("new")), PanelMode::all, std::nullopt, 3);
    EXPECT_EQ(controller.panel().panel().pos(), place);
    EXPECT_EQ(editor()->toPlainText(), QStringLiteral("new"));
}

TEST_F(ResultPanelControllerTest, ChipsCopyWithAToastOrOpenTheirLinkAndClose)
{
    present(QStringLiteral(
                "call +1 650 253 0000 or see https://example.com and ftp://files.example.com/a"),
            {{QStringLiteral("QR"), QStringLiteral("BEGIN:VCARD\nFN:Ann\nEND:VCARD"),
              CodeKind::contact}});
    const QList<Chip> chips = model.chips();
    ASSERT_EQ(chips.size(), 4);

    model.onOpenChip(chips[0]);
    EXPECT_EQ(clipboardText(), QStringLiteral("+1 650 253 0000"));
    EXPECT_EQ(toastMessage(), QStringLiteral("Phone number copied"));
    EXPECT_TRUE(controller.isVisible()) << "copying chips leave the panel open";

    model.onOpenChip(chips[3]);
    EXPECT_EQ(toastMessage(), QStringLiteral("Contact copied as text"));
    EXPECT_EQ(clipboardText(), QStringLiteral("BEGIN:VCARD\nFN:Ann\nEND:VCARD"));

    // Only web and mail links are handed to the desktop; others are copied instead.
    model.onOpenChip(chips[2]);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(toastMessage(), QStringLiteral("Link copied"));
    EXPECT_TRUE(controller.isVisible());

    model.onOpenChip(chips[1]);
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://example.com"))});
    EXPECT_FALSE(controller.isVisible());

    present(QStringLiteral("write to Ann@Example.org"));
    model.onOpenChip(model.chips().value(0));
    EXPECT_EQ(opened.value(1), QUrl(QStringLiteral("mailto:Ann@Example.org")));
}

TEST_F(ResultPanelControllerTest, AChipRowThatOverflowsShowsItAndTheKeyboardReachesEveryChip)
{
    QStringList links;
    for (int i = 0; i < 6; ++i) {
        links.append(QStringLiteral("https://site-number-%1.example.com/page").arg(i));
    }
    present(links.join(u' '),
            {{QStringLiteral("QR"), QStringLiteral("WIFI:S:Home;P:pw;;"), CodeKind::wifi}});
    ChipsRow &row = *controller.view().chipsRow();
    const QList<ChipButton *> chips = row.buttons();
    ASSERT_EQ(chips.size(), 7);
    EXPECT_TRUE(row.scrollRightButton()->isVisibleTo(&row));
    EXPECT_TRUE(row.scrollRightButton()->isEnabled());
    EXPECT_FALSE(row.scrollLeftButton()->isEnabled()) << "nothing hides on the left yet";

    const auto isFullyInView = [&row](const QWidget *chip) {
        const QWidget *viewport = chip->parentWidget()->parentWidget();
        const QRect inViewport(chip->mapTo(viewport, QPoint(0, 0)), chip->size());
        return viewport->rect().contains(inViewport);
    };
    EXPECT_FALSE(isFullyInView(chips[5]));
    for (int i = 0; i < 6; ++i) {
        press(Qt::Key_Right);
    }
    EXPECT_EQ(row.focusedButton(), chips[5]);
    EXPECT_TRUE(isFullyInView(chips[5]));
    EXPECT_TRUE(row.scrollLeftButton()->isEnabled());

    // The Wi-Fi details open above the chip: the action buttons stay free.
    press(Qt::Key_Right);
    press(Qt::Key_Return);
    const auto *popover = controller.view().findChild<WifiPopover *>();
    ASSERT_NE(popover, nullptr);
    for (const char *name : {"copyButton", "pasteButton", "oneLineButton", "moreButton"}) {
        const auto *button = controller.view().findChild<QWidget *>(QLatin1String(name));
        EXPECT_FALSE(popover->geometry().intersects(
            QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
            << name;
    }
    controller.view().setWifiChip(std::nullopt);

    // Return presses the chip the arrows reached, not Paste.
    press(Qt::Key_Left);
    press(Qt::Key_Return);
    EXPECT_EQ(opened, QList<QUrl>{QUrl(links[5])});
    EXPECT_TRUE(keys.sent.isEmpty());
}

TEST_F(ResultPanelControllerTest, SavingWritesUtf8AtomicallyAndReportsFailures)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("Captured text.txt"));
    controller.chooseSaveFile = [&] { return std::optional(path); };
    present(QString::fromUtf8("Grüße ✓\nzweite Zeile"));
    model.saveOutput();
    EXPECT_FALSE(controller.isVisible());
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    // Ends with a newline, as text files on Linux do.
    EXPECT_EQ(saved.readAll(), QByteArray("Gr\xc3\xbc\xc3\x9f"
                                          "e \xe2\x9c\x93\nzweite Zeile\n"));
    EXPECT_FALSE(toast.isVisible());

    controller.chooseSaveFile = [&] {
        return std::optional(directory.filePath(QStringLiteral("missing/folder/x.txt")));
    };
    present(QStringLiteral("text"));
    model.saveOutput();
    EXPECT_TRUE(toastMessage().startsWith(QStringLiteral("Couldn't save: ")))
        << toastMessage().toStdString();
    EXPECT_GT(toastMessage().size(), QStringLiteral("Couldn't save: ").size());
}

TEST_F(ResultPanelControllerTest, PastingIntoAClosedWindowLeavesTheTextOnTheClipboardAndSaysSo)
{
    present(QStringLiteral("for a closed window"));
    windows.frontmost = RunningApplication{1, 2};
    windows.goneWindows = {target.windowId};
    press(Qt::Key_Return);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(clipboardText(), QStringLiteral("for a closed window"));
    EXPECT_EQ(toastMessage(), ResultPanelController::pasteFailedMessage);
    EXPECT_TRUE(model.canPaste()) << "no permission is missing";
    KeloTest::processEventsFor(200ms);
    EXPECT_TRUE(keys.sent.isEmpty());
}

TEST_F(ResultPanelControllerTest, WithoutPermissionThePanelWaitsAndPastesOnceItArrives)
{
    keys.isSessionAllowingKeys = false;
    present(QStringLiteral("later"));
    EXPECT_FALSE(model.canPaste());
    press(Qt::Key_Return);
    EXPECT_TRUE(controller.isVisible());
    EXPECT_TRUE(controller.isAwaitingAccessibility());
    EXPECT_FALSE(controller.panel().hidesOnResignKey);

    keys.isSessionAllowingKeys = true;
    ASSERT_TRUE(KeloTest::waitUntil([&] { return model.canPaste(); }, 3s));
    EXPECT_FALSE(controller.isAwaitingAccessibility());
    EXPECT_TRUE(controller.panel().hidesOnResignKey);
    press(Qt::Key_Return);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !keys.sent.isEmpty(); }));
}

// The desktop's dialog would be under the panel, which stays above every window.
TEST_F(ResultPanelControllerTest, ThePanelStepsAsideWhileTheDesktopAsksAndComesBackWithTheText)
{
    keys.isSessionAllowingKeys = false;
    keys.asksFirst = true;
    int closings = 0;
    controller.panel().onDidHide = [&] { ++closings; };
    present(QStringLiteral("later"));
    const QPoint place = controller.panel().panel().pos();
    for (const bool isAllowed : {false, true}) {
        press(Qt::Key_Return);
        ASSERT_TRUE(keys.isAsking());
        EXPECT_FALSE(controller.panel().panel().isVisible());
        EXPECT_TRUE(controller.isVisible()) << "stepped aside, not closed";
        keys.answer(isAllowed);
        EXPECT_TRUE(controller.panel().panel().isVisible());
        EXPECT_EQ(controller.panel().panel().pos(), place);
        EXPECT_EQ(closings, 0) << "the capture was let go";
        EXPECT_EQ(model.text(), QStringLiteral("later"));
    }
    // The user presses Return as soon as the panel is back: that pastes, not asks again.
    EXPECT_TRUE(model.canPaste());
    EXPECT_FALSE(controller.isAwaitingAccessibility());
    EXPECT_TRUE(controller.panel().hidesOnResignKey);
    press(Qt::Key_Return);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !keys.sent.isEmpty(); }));
}

TEST_F(ResultPanelControllerTest, ReadAsReadsTheShownCaptureAgainAndAsksBeforeReplacingEdits)
{
    // Russian text read as English, as on a desktop set to English with Russian installed.
    KeloTest::FakeScreenCapturer capturer;
    capturer.outcome =
        CapturedImage{SampleImages::text({QStringLiteral("Широкая электрификация губерний")},
                                         SampleImages::textStyle(18), 420),
                      SelectedRegion{{100, 100, 420, 60}}};
    KeloTest::FakePermissionChecker permission;
    Recognizer recognizer;
    CaptureSettings settings;
    settings.languages = {QStringLiteral("en")};
    QStringList copied;
    std::unique_ptr<CaptureFlow> flow;
    CaptureFlow::Outputs outputs;
    outputs.clipboard = [&](const QString &text) {
        copied.append(text);
        return true;
    };
    outputs.present = [&](const FlowPresentation &presentation) {
        controller.present(presentation.result, PanelMode::all, presentation.region,
                           presentation.captureNumber);
        ReadAgain::presented(presentation, *flow, model);
    };
    flow = std::make_unique<CaptureFlow>(
        capturer, permission, recognizer, [&] { return settings; }, outputs);
    ReadAgain::connect(*flow, model, controller, {});
    QCoro::waitFor(flow->run(false));
    ASSERT_TRUE(controller.isVisible());
    EXPECT_FALSE(model.text().contains(QStringLiteral("электрификация")));

    auto *readAs = controller.view().findChild<ReadAsMenu *>();
    ASSERT_NE(readAs, nullptr);
    const auto choose = [&](const QString &title) {
        Q_EMIT readAs->aboutToShow();
        for (QAction *action : readAs->actions()) {
            if (action->text() == title) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no choice " << title.toStdString();
    };
    const auto button = [&](const char *name) {
        return controller.view().findChild<QPushButton *>(QLatin1String(name));
    };
    choose(LanguageNames::displayName(QStringLiteral("ru")));
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !model.isReadingAgain(); }, 20s));
    EXPECT_EQ(model.text(), QStringLiteral("Широкая электрификация губерний"));
    EXPECT_EQ(copied.last(), model.text());
    EXPECT_EQ(flow->lastPresentation()->result.text, model.text());

    // Edits are replaced only when the user says so.
    model.setText(QStringLiteral("my edit"));
    choose(LanguageNames::displayName(QStringLiteral("en")));
    ASSERT_TRUE(model.pendingReading().has_value());
    EXPECT_TRUE(button("replaceButton")->isVisibleTo(&controller.view()));
    button("keepEditsButton")->click();
    EXPECT_FALSE(model.isReadingAgain());
    EXPECT_EQ(model.text(), QStringLiteral("my edit"));
    choose(LanguageNames::displayName(QStringLiteral("en")));
    button("replaceButton")->click();
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !model.isReadingAgain(); }, 20s));
    EXPECT_NE(model.text(), QStringLiteral("my edit"));
    EXPECT_EQ(model.reading()->languages, QStringList{QStringLiteral("en")});

    // A closed panel keeps no image: nothing is left to read again.
    controller.dismiss();
    EXPECT_FALSE(flow->shownReading().has_value());
    EXPECT_FALSE(readAs->menuAction()->isEnabled());
}
