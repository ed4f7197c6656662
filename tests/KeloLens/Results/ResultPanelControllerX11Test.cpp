#include "KeloLens/Results/ResultPanelController.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloLens/Results/ToastController.h"
#include "KeloPanel/FloatingPanelController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/Platform.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const QString targetPath =
    QStringLiteral(KELO_TEST_BINARY_DIR "/tests/KeloPaste/kelo-test-paste-target");

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

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// The paste target: a window with one focused text field that reports every change of its text.
class PasteTarget
{
public:
    PasteTarget()
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                m_lines << QString::fromUtf8(m_process.readLine()).chopped(1);
        });
        m_process.start(targetPath);
    }
    ~PasteTarget()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }

    // Its window, once shown and put in front the way a pager would.
    std::optional<uint32_t> start()
    {
        // A first Qt program on a fresh X server may take a while to come up on a busy machine.
        if (!KeloTest::waitUntil([&] { return !m_lines.isEmpty(); }, 20s) ||
            !m_lines.first().startsWith(QStringLiteral("ready ")))
            return std::nullopt;
        const uint32_t window = m_lines.first().mid(6).toUInt();
        for (int attempt = 0; attempt < 5; ++attempt) {
            platform().windowSystem->activate({window, std::nullopt});
            if (KeloTest::waitUntil([&] { return frontmostWindow() == window; }, 1s))
                return window;
        }
        return std::nullopt;
    }
    [[nodiscard]] QString lastText() const
    {
        for (auto line = m_lines.crbegin(); line != m_lines.crend(); ++line) {
            if (line->startsWith(QStringLiteral("text ")))
                return line->mid(5);
        }
        return {};
    }

private:
    QProcess m_process;
    QStringList m_lines;
};

class ResultPanelX11 : public ::testing::Test
{
protected:
    bool presentAndTakeFocus(const QString &text)
    {
        // Qt tells widgets that their window lost the focus only 400 ms after the X server does,
        // and forgets the loss when the focus comes back sooner: a panel shown again within that
        // time never hears that it had lost it. Users take longer between two captures.
        KeloTest::waitUntil([] { return false; }, 500ms);
        controller.present({{}, {}, text}, PanelMode::all, ExactRect{100, 300, 300, 40});
        return KeloTest::waitUntil([&] {
            return controller.panel().panel().isActiveWindow() &&
                   frontmostWindow() == uint32_t(controller.panel().panel().winId());
        });
    }

    KeyboardLayout layout{*platform().keymapSource};
    Accessibility accessibility{*platform().syntheticKeys};
    PasteService paste{*platform().windowSystem, *platform().syntheticKeys, layout};
    ResultViewModel model;
    ToastController toast{*platform().windowSystem};
    ResultPanelController controller{
        model, toast, paste, accessibility, *platform().windowSystem, layout, [] {
            return PanelPosition::nearSelection;
        }};
};

} // namespace

TEST_F(ResultPanelX11, ReturnPastesIntoTheWindowInFrontBeforeAndEscapeOrAClickElsewhereHide)
{
    PasteTarget target;
    const auto targetWindow = target.start();
    ASSERT_TRUE(targetWindow);

    ASSERT_TRUE(presentAndTakeFocus(QString::fromUtf8("Hello from the panel ✓")));
    EXPECT_EQ(controller.panel().previousApp()->windowId, *targetWindow);
    ASSERT_TRUE(xdotool({"key", "Return"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] {
        return target.lastText() == QString::fromUtf8("Hello from the panel ✓");
    })) << target.lastText().toStdString();
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(frontmostWindow(), *targetWindow);

    ASSERT_TRUE(presentAndTakeFocus(QStringLiteral("second")));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !controller.isVisible(); }));
    // The keyboard goes back to where the user came from.
    EXPECT_TRUE(KeloTest::waitUntil([&] { return frontmostWindow() == *targetWindow; }));

    ASSERT_TRUE(presentAndTakeFocus(QStringLiteral("third")));
    ASSERT_TRUE(xdotool(
        {"mousemove", "--window", QString::number(*targetWindow), "20", "20", "click", "1"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !controller.isVisible(); }));
    EXPECT_EQ(frontmostWindow(), *targetWindow);
    EXPECT_EQ(target.lastText(), QString::fromUtf8("Hello from the panel ✓"));
}

TEST_F(ResultPanelX11, AToastLeavesTheFocusWhereItWas)
{
    PasteTarget target;
    const auto targetWindow = target.start();
    ASSERT_TRUE(targetWindow);
    toast.show(QStringLiteral("Copied 42 characters"), QStringLiteral("Open Settings"), [] {});
    ASSERT_TRUE(KeloTest::waitUntil([&] { return toast.window()->windowHandle()->isExposed(); }));
    KeloTest::waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(frontmostWindow(), *targetWindow);
    ASSERT_TRUE(xdotool({"type", "still typing"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return target.lastText() == u"still typing"; }));
}
