#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/Platform.h"
#include "KeloPlatform/null/NullServices.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using KeloPlatform::RunningApplication;

const QString targetPath =
    QStringLiteral(KELO_TEST_BINARY_DIR "/tests/KeloPaste/kelo-test-paste-target");
const QString spyPath =
    QStringLiteral(KELO_TEST_BINARY_DIR "/tests/KeloPaste/kelo-test-activation-spy");

// A helper program whose output lines are collected while the event loop turns (the test process
// owns the clipboard, so it must keep answering while others read it).
class Helper
{
public:
    explicit Helper(const QString &program, const QStringList &arguments = {})
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                m_lines << QString::fromUtf8(m_process.readLine()).chopped(1);
        });
        m_process.start(program, arguments);
    }
    ~Helper()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // The first line starting with `prefix`, with the prefix removed.
    std::optional<QString> waitForLine(const QString &prefix,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::optional<QString> found;
        KeloTest::waitUntil(
            [&] {
                for (const QString &line : std::as_const(m_lines)) {
                    if (line.startsWith(prefix)) {
                        found = line.mid(prefix.size());
                        return true;
                    }
                }
                return false;
            },
            timeout);
        return found;
    }
    [[nodiscard]] QStringList lines() const { return m_lines; }
    [[nodiscard]] qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
    QStringList m_lines;
};

// Runs a program to its end while the event loop keeps turning; its standard output.
QByteArray runServingClipboard(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    KeloTest::waitUntil([&] { return process.state() == QProcess::NotRunning; });
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return process.readAllStandardOutput();
}

// The X11 services every test here uses.
KeloPlatform::Platform &platform()
{
    static const std::unique_ptr<KeloPlatform::Platform> x11 =
        KeloPlatform::createPlatform(QStringLiteral("x11"));
    return *x11;
}

std::optional<uint32_t> frontmostWindow()
{
    const auto frontmost = platform().windowSystem->frontmostApplication();
    return frontmost ? std::optional(frontmost->windowId) : std::nullopt;
}

// Puts the window in front the way a pager would and waits until it stays there. Windows that
// ask for activation themselves, or new windows the window manager focuses on its own, make the
// outcome depend on timing; an explicit request from the user's side always wins.
bool bringToFront(uint32_t window)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        platform().windowSystem->activate({window, std::nullopt});
        if (KeloTest::waitUntil([&] { return frontmostWindow() == window; },
                                std::chrono::seconds(1))) {
            // Let late focus changes of just-mapped windows arrive, then check again.
            KeloTest::waitUntil([] { return false; }, std::chrono::milliseconds(150));
            if (frontmostWindow() == window)
                return true;
        }
    }
    return false;
}

// The paste target running and in front, with the activation spy watching.
struct Scene
{
    Helper spy{spyPath};
    std::optional<Helper> target;
    RunningApplication application;

    bool start()
    {
        if (!spy.waitForLine(QStringLiteral("ready")))
            return false;
        target.emplace(targetPath);
        const auto window = target->waitForLine(QStringLiteral("ready "));
        if (!window || !bringToFront(window->toUInt()))
            return false;
        application = *platform().windowSystem->frontmostApplication();
        return true;
    }

    [[nodiscard]] qsizetype activationsOfTarget() const
    {
        return spy.lines().count(QStringLiteral("activate %1").arg(application.windowId));
    }
};

// A window of the test process itself, put in front of the target.
class FrontWindow
{
public:
    bool show()
    {
        m_widget.setWindowTitle(QStringLiteral("in front"));
        m_widget.resize(200, 100);
        m_widget.show();
        return bringToFront(uint32_t(m_widget.winId()));
    }
    [[nodiscard]] uint32_t window() const { return uint32_t(m_widget.winId()); }

private:
    QWidget m_widget;
};

class PasteServiceX11 : public ::testing::Test
{
protected:
    PasteService service{*platform().windowSystem, *platform().syntheticKeys,
                         KeyboardLayout(*platform().keymapSource)};
};

} // namespace

TEST_F(PasteServiceX11, WritePlainTextLeavesExactlyTheTextOnTheClipboard)
{
    auto *rich = new QMimeData;
    rich->setHtml(QStringLiteral("<b>old</b>"));
    rich->setData(QStringLiteral("application/x-kelo-test"), "old");
    QGuiApplication::clipboard()->setMimeData(rich);

    const QString text = QString::fromUtf8("Zeile 1\nligne 2 ✓ \t 日本語\n\n  ");
    const std::optional<qint64> first = service.writePlainText(QStringLiteral("first"));
    const std::optional<qint64> second = service.writePlainText(text);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*second, *first + 1);

    EXPECT_EQ(QString::fromUtf8(runServingClipboard(
                  "xclip", {"-o", "-selection", "clipboard", "-t", "UTF8_STRING"})),
              text);
    const QString targets = QString::fromUtf8(
        runServingClipboard("xclip", {"-o", "-selection", "clipboard", "-t", "TARGETS"}));
    EXPECT_TRUE(targets.contains(QStringLiteral("UTF8_STRING"))) << targets.toStdString();
    EXPECT_FALSE(targets.contains(QStringLiteral("text/html"))) << targets.toStdString();
    EXPECT_FALSE(targets.contains(QStringLiteral("x-kelo-test"))) << targets.toStdString();
}

TEST_F(PasteServiceX11, PasteActivatesTheTargetAndTheTextLandsInItsField)
{
    ASSERT_TRUE(Accessibility(*platform().syntheticKeys).isTrusted());
    Scene scene;
    ASSERT_TRUE(scene.start());
    EXPECT_EQ(scene.application.processId, scene.target->processId());
    FrontWindow front;
    ASSERT_TRUE(front.show());
    const qsizetype activationsBefore = scene.activationsOfTarget();

    service.writePlainText(QString::fromUtf8("Hello from KeloLens ✓"));
    ASSERT_TRUE(service.paste(scene.application));

    EXPECT_EQ(scene.target->waitForLine(QStringLiteral("text Hello")),
              QString::fromUtf8(" from KeloLens ✓"));
    EXPECT_EQ(frontmostWindow(), scene.application.windowId);
    EXPECT_EQ(scene.activationsOfTarget(), activationsBefore + 1);
}

TEST_F(PasteServiceX11, FrontmostTargetIsNotActivatedAgainAndHeldModifiersDoNotLeak)
{
    Scene scene;
    ASSERT_TRUE(scene.start());
    const qsizetype activationsBefore = scene.activationsOfTarget();
    // The user still holds Shift and Alt from the keys that asked for the paste: Ctrl+Shift+V or
    // Ctrl+Alt+V would not paste into the field.
    ASSERT_EQ(QProcess::execute("xdotool", {"keydown", "Shift_L", "keydown", "Alt_L"}), 0);

    service.writePlainText(QStringLiteral("no second activation"));
    ASSERT_TRUE(service.paste(scene.application));
    EXPECT_EQ(scene.target->waitForLine(QStringLiteral("text ")),
              QStringLiteral("no second activation"));
    QProcess::execute("xdotool", {"keyup", "Shift_L", "keyup", "Alt_L"});
    // Give a stray activation request time to arrive before counting.
    KeloTest::waitUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(scene.activationsOfTarget(), activationsBefore);
}

TEST_F(PasteServiceX11, PastesWithTheKeyThatTypesVOnTheCurrentLayout)
{
    // On Dvorak the key that types v is where US has the period; the US V position types k.
    ASSERT_EQ(QProcess::execute("setxkbmap", {"us", "-variant", "dvorak"}), 0);
    struct RestoreLayout
    {
        ~RestoreLayout() { QProcess::execute("setxkbmap", {"us"}); }
    } restore;
    Scene scene;
    ASSERT_TRUE(scene.start());
    service.writePlainText(QStringLiteral("dvorak"));
    ASSERT_TRUE(service.paste(scene.application));
    EXPECT_EQ(scene.target->waitForLine(QStringLiteral("text ")), QStringLiteral("dvorak"));
}

TEST_F(PasteServiceX11, WithoutSyntheticKeysOrWithTheTargetGoneNothingIsActivatedOrSent)
{
    Scene scene;
    ASSERT_TRUE(scene.start());
    FrontWindow front;
    ASSERT_TRUE(front.show());
    const qsizetype activationsBefore = scene.activationsOfTarget();
    service.writePlainText(QStringLiteral("must not arrive"));

    KeloPlatform::NullSyntheticKeys noKeys;
    PasteService withoutKeys(*platform().windowSystem, noKeys,
                             KeyboardLayout(*platform().keymapSource));
    EXPECT_FALSE(Accessibility(noKeys).isTrusted());
    EXPECT_FALSE(withoutKeys.paste(scene.application));
    EXPECT_FALSE(withoutKeys.paste(std::nullopt));

    // The application the panel came from has quit: the keys would land in whatever window is
    // in front now.
    const RunningApplication gone = scene.application;
    scene.target.reset();
    EXPECT_FALSE(service.paste(gone));

    KeloTest::waitUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(frontmostWindow(), front.window());
    EXPECT_EQ(scene.activationsOfTarget(), activationsBefore);
}
