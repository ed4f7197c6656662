// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/Platform.h"
#include "KeloPlatform/null/NullServices.h"
#include "support/HelperProcess.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using KeloPlatform::RunningApplication;

KeloPlatform::Platform &platform()
{
    return KeloTest::x11Platform();
}

using KeloTest::frontmostWindow;

bool bringToFront(uint32_t window)
{
    return KeloTest::bringToFront(*platform().windowSystem, window);
}

// The paste target running and in front, with the activation spy watching.
struct Scene
{
    KeloTest::HelperProcess spy{KeloTest::helperProgram("kelo-test-x-client"),
                                {"watch-activations"}};
    std::optional<KeloTest::HelperProcess> target;
    RunningApplication application;

    bool start()
    {
        if (!spy.waitForLine(QStringLiteral("ready"))) {
            return false;
        }
        target.emplace(KeloTest::helperProgram("kelo-test-scene"), QStringList{"--field"});
        const auto ready = target->waitForLine(QStringLiteral("ready "));
        if (!ready || !bringToFront(ready->section(u' ', 0, 0).toUInt())) {
            return false;
        }
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

    EXPECT_EQ(KeloTest::readClipboard("UTF8_STRING"), text);
    const QString targets = KeloTest::readClipboard("TARGETS");
    EXPECT_TRUE(targets.contains(QStringLiteral("UTF8_STRING"))) << targets.toStdString();
    EXPECT_FALSE(targets.contains(QStringLiteral("text/html"))) << targets.toStdString();
    EXPECT_FALSE(targets.contains(QStringLiteral("x-kelo-test"))) << targets.toStdString();
}

TEST_F(PasteServiceX11, FrontmostTargetIsNotActivatedAgainAndHeldModifiersDoNotLeak)
{
    Scene scene;
    ASSERT_TRUE(scene.start());
    const qsizetype activationsBefore = scene.activationsOfTarget();
    // The user still holds Shift and Alt from the keys that asked for the paste: Ctrl+Shift+V or
    // Ctrl+Alt+V would not paste into the field.
    ASSERT_TRUE(KeloTest::xdotool({"keydown", "Shift_L", "keydown", "Alt_L"}));

    service.writePlainText(QStringLiteral("no second activation"));
    ASSERT_TRUE(service.paste(scene.application));
    EXPECT_EQ(scene.target->waitForLine(QStringLiteral("text ")),
              QStringLiteral("no second activation"));
    (void)KeloTest::xdotool({"keyup", "Shift_L", "keyup", "Alt_L"});
    // Give a stray activation request time to arrive before counting.
    KeloTest::processEventsFor(std::chrono::milliseconds(300));
    EXPECT_EQ(scene.activationsOfTarget(), activationsBefore);
}

TEST_F(PasteServiceX11, PastesWithTheKeyThatTypesVOnTheCurrentLayout)
{
    // On Dvorak the key that types v is where US has the period; the US V position types k.
    const KeloTest::UsLayoutRestorer restoreLayout;
    ASSERT_TRUE(KeloTest::setKeyboardLayout("us", "dvorak"));
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

    KeloTest::processEventsFor(std::chrono::milliseconds(500));
    EXPECT_EQ(frontmostWindow(), front.window());
    EXPECT_EQ(scene.activationsOfTarget(), activationsBefore);
}
