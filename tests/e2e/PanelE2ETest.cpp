// SPDX-License-Identifier: GPL-3.0-or-later
// The results panel as a user meets it: pasting into real terminals with the keys each takes, and
// a new capture never showing an earlier edit. The region tool is a stand-in that hands over a
// picture of a known line, so each capture is quick and exact.
#include "AppFixture.h"
#include "samples/SampleImages.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

using namespace KeloE2E;
using KeloTest::pressKeys;

namespace {

const QString sceneText = QStringLiteral("Meeting at noon on Friday");

// A terminal emulator running `cat` into a file, so what it receives can be read back.
class Terminal
{
public:
    Terminal(const QString &program, const QStringList &options) : m_program(program)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Its settings and caches go with the test.
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.path());
        m_process.setProcessEnvironment(environment);
        m_process.start(program, options + QStringList{QStringLiteral("-e"), QStringLiteral("sh"),
                                                       QStringLiteral("-c"),
                                                       QStringLiteral("cat > ") + output()});
    }
    ~Terminal()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    // Waits for its window and brings it to the front, as the user clicks into it.
    bool activate()
    {
        QString window;
        const bool isShown = KeloTest::waitUntil(
            [&] {
                window = KeloTest::runProgram(
                             QStringLiteral("xdotool"),
                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--classname"), QStringLiteral("^%1$").arg(m_program)})
                             .section(u'\n', 0, 0);
                return !window.isEmpty();
            },
            30s);
        // A terminal starting its shell takes a moment to read keys.
        KeloTest::processEventsFor(1s);
        return isShown && KeloTest::xdotool(
                              {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    }

    // What `cat` wrote once the line was ended.
    [[nodiscard]] QString received() const
    {
        QFile file(output());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    }

private:
    [[nodiscard]] QString output() const { return m_home.filePath(QStringLiteral("received")); }

    QString m_program;
    QTemporaryDir m_home;
    QProcess m_process;
};

class PanelE2E : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        const QString picture = m_app.home() + QStringLiteral("/line.png");
        ASSERT_TRUE(SampleImages::text({sceneText}, SampleImages::textStyle(18)).save(picture));
        m_app.replaceRegionTool(QStringLiteral("cp '%1' \"$2\"").arg(picture));
    }

    // The shortcut, the stand-in tool, and the panel showing the line.
    bool capture()
    {
        return pressKeys({QStringLiteral("ctrl+shift+2")}) &&
               KeloTest::waitUntil([] { return resultsPanel().has_value(); }, 20s) &&
               waitForClipboard(sceneText);
    }

    static bool copiedFromPanel(const QString &text)
    {
        return pressKeys({QStringLiteral("ctrl+c")}) &&
               KeloTest::waitUntil([&] { return clipboardText() == text; }, 5s);
    }
};

} // namespace

TEST_F(PanelE2E, ReturnPastesIntoTerminalsWithTheKeysEachTakes)
{
    // xterm pastes the primary selection with Shift+Insert; lxterminal, like most terminals,
    // pastes the clipboard with Ctrl+Shift+V. Ctrl+V would type a control character in both.
    Terminal xterm(QStringLiteral("xterm"), {});
    Terminal lxterminal(QStringLiteral("lxterminal"), {QStringLiteral("--no-remote")});
    ASSERT_TRUE(startAndWaitForShortcut());

    for (Terminal *terminal : {&xterm, &lxterminal}) {
        ASSERT_TRUE(terminal->activate());
        ASSERT_TRUE(capture()) << clipboardText().toStdString();
        ASSERT_TRUE(pressKeys({QStringLiteral("Return")}));
        ASSERT_TRUE(KeloTest::waitUntil([] { return !resultsPanel(); }, 5s));
        KeloTest::processEventsFor(500ms);
        // The terminal hands `cat` the line once it ends.
        ASSERT_TRUE(pressKeys({QStringLiteral("Return")}));
        EXPECT_TRUE(KeloTest::waitUntil([&] { return terminal->received() == sceneText; }, 5s))
            << terminal->received().toStdString();
    }
    EXPECT_EQ(KeloTest::readClipboard(QStringLiteral("UTF8_STRING")), sceneText);
    EXPECT_EQ(KeloTest::runProgram(
                  QStringLiteral("xclip"),
                  {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("primary")}),
              sceneText);
}

TEST_F(PanelE2E, ANewCaptureOfTheSameTextShowsItFreshWhileLastResultKeepsTheEdit)
{
    ASSERT_TRUE(startAndWaitForShortcut());
    ASSERT_TRUE(capture());
    ASSERT_TRUE(pressKeys({QStringLiteral("Tab"), QStringLiteral("ctrl+End")}));
    ASSERT_TRUE(KeloTest::xdotool({QStringLiteral("type"), QStringLiteral(" sharp")}));
    ASSERT_TRUE(pressKeys({QStringLiteral("Tab")}));
    ASSERT_TRUE(copiedFromPanel(sceneText + QStringLiteral(" sharp")));
    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
    ASSERT_TRUE(KeloTest::waitUntil([] { return !resultsPanel(); }, 5s));

    // Last Result is the same capture: the edit is still there.
    ASSERT_TRUE(chooseTrayItem(QStringLiteral("Last Result")));
    ASSERT_TRUE(KeloTest::waitUntil([] { return resultsPanel().has_value(); }, 10s));
    EXPECT_TRUE(copiedFromPanel(sceneText + QStringLiteral(" sharp")));
    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));
    ASSERT_TRUE(KeloTest::waitUntil([] { return !resultsPanel(); }, 5s));

    // A new capture of the same line is a new result.
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(KeloTest::waitUntil([] { return resultsPanel().has_value(); }, 20s));
    EXPECT_TRUE(waitForClipboard(sceneText));
    EXPECT_TRUE(copiedFromPanel(sceneText)) << clipboardText().toStdString();
}

namespace {

// What a screen reader finds, read through AT-SPI on a private session bus: the showing buttons,
// chips, toggles and fields of KeloLens, one "role<TAB>name" a line.
QStringList accessibleControls()
{
    static const QString script = QStringLiteral(R"(
import pyatspi
roles = {'push button', 'toggle button', 'check box', 'radio button', 'combo box', 'text',
         'entry', 'spin button', 'slider', 'list item', 'page tab', 'password text'}
for app in pyatspi.Registry.getDesktop(0):
    stack = [app] if app is not None and app.name == 'KeloLens' else []
    while stack:
        node = stack.pop()
        try:
            if node.getState().contains(pyatspi.STATE_SHOWING) and node.getRoleName() in roles:
                print(node.getRoleName() + '\t' + (node.name or '').replace('\n', ' '))
            stack.extend(child for child in node if child is not None)
        except Exception:
            pass
)");
    return KeloTest::runProgram(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script},
                                30s)
        .split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

TEST_F(PanelE2E, ScreenReadersFindANameOnEveryButtonChipToggleAndField)
{
    // Clients look for the accessibility bus on the root window first: a GTK program of an
    // earlier test (the terminals) may have left the address of a bus that is gone.
    const auto forgetBus = [] {
        KeloTest::runProgram(
            QStringLiteral("xprop"),
            {QStringLiteral("-root"), QStringLiteral("-remove"), QStringLiteral("AT_SPI_BUS")});
    };
    forgetBus();
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1")});
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << "dbus-daemon is needed";
    const auto stopBus = qScopeGuard([&] {
        bus.terminate();
        bus.waitForFinished();
        forgetBus();
    });
    const QByteArray address = bus.readLine().trimmed();
    const KeloTest::ScopedEnvironment onBus("DBUS_SESSION_BUS_ADDRESS", address);
    QProcessEnvironment environment = m_app.environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(address));
    // As when a screen reader runs: Qt then speaks to the accessibility bus.
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
    m_app.setEnvironment(environment);
    const QString picture = m_app.home() + QStringLiteral("/chips.png");
    ASSERT_TRUE(SampleImages::text({QStringLiteral("Docs at https://example.com/docs")},
                                   SampleImages::textStyle(18))
                    .save(picture));
    m_app.replaceRegionTool(QStringLiteral("cp '%1' \"$2\"").arg(picture));
    ASSERT_TRUE(startAndWaitForShortcut());

    const auto unnamed = [](const QStringList &controls) {
        return controls.filter(QRegularExpression(QStringLiteral("\t\\s*$")));
    };
    QStringList controls;
    const auto shows = [&](const QString &control) {
        return KeloTest::waitUntil(
            [&] { return (controls = accessibleControls()).contains(control); }, 20s);
    };
    ASSERT_TRUE(pressKeys({QStringLiteral("ctrl+shift+2")}));
    ASSERT_TRUE(shows(QStringLiteral("push button\tPaste"))) << controls.join(u'\n').toStdString();
    EXPECT_TRUE(controls.contains(QStringLiteral("push button\tCopy")));
    EXPECT_TRUE(controls.contains(QStringLiteral("text\tCaptured text")));
    EXPECT_FALSE(controls.filter(QStringLiteral("push button\tLink ")).isEmpty()) << "the chip";
    EXPECT_EQ(unnamed(controls), QStringList()) << controls.join(u'\n').toStdString();
    ASSERT_TRUE(pressKeys({QStringLiteral("Escape")}));

    ASSERT_EQ(m_app.launchAgain(), 0);
    ASSERT_TRUE(shows(QStringLiteral("check box\tLaunch at login")))
        << controls.join(u'\n').toStdString();
    EXPECT_EQ(unnamed(controls), QStringList()) << controls.join(u'\n').toStdString();
    m_app.stop();
}
