#include "KeloPlatform/WindowSystem.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

std::optional<uint32_t> frontmostWindow()
{
    const auto frontmost = KeloPlatform::windowSystem().frontmostApplication();
    return frontmost ? std::optional(frontmost->windowId) : std::nullopt;
}

// Shows the window and puts it in front with a request from the user's side, which the window
// manager always grants (a new window's own request may lose against later focus changes).
bool showInFront(QWidget &window)
{
    window.show();
    const auto id = uint32_t(window.winId());
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!KeloPlatform::windowSystem().activate({id, std::nullopt}))
            return false;
        if (KeloTest::waitUntil([&] { return frontmostWindow() == id; }, std::chrono::seconds(1)))
            return true;
    }
    return false;
}

} // namespace

TEST(WindowSystemX11, ReportsAndSwitchesTheFrontmostWindow)
{
    QWidget first;
    QWidget second;
    first.setWindowTitle(QStringLiteral("first"));
    second.setWindowTitle(QStringLiteral("second"));
    ASSERT_TRUE(showInFront(first));
    ASSERT_TRUE(showInFront(second));
    const auto firstId = uint32_t(first.winId());
    const auto secondId = uint32_t(second.winId());

    const auto frontmost = KeloPlatform::windowSystem().frontmostApplication();
    ASSERT_TRUE(frontmost);
    EXPECT_EQ(frontmost->processId, QCoreApplication::applicationPid());
    EXPECT_TRUE(frontmost->isSameApplication({secondId, std::nullopt}));
    EXPECT_FALSE(frontmost->isSameApplication({firstId, frontmost->processId}));

    EXPECT_TRUE(KeloPlatform::windowSystem().activate({firstId, std::nullopt}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return frontmostWindow() == firstId; }));
}

TEST(WindowSystemX11, ActivatingAWindowThatIsGoneFails)
{
    uint32_t goneId = 0;
    {
        QWidget window;
        window.show();
        goneId = uint32_t(window.winId());
        ASSERT_NE(goneId, 0u);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(KeloPlatform::windowSystem().activate({goneId, std::nullopt}));
    EXPECT_FALSE(KeloPlatform::windowSystem().activate({0, std::nullopt}));
}
