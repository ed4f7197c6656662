// SPDX-License-Identifier: GPL-3.0-or-later
// KeloLens on headless sway 1.7 with XWayland, grim, xdg-desktop-portal-wlr and waybar.

#include "DesktopFixture.h"

namespace KeloDesktops {
namespace {

class OnSway : public DesktopTest
{
protected:
    void SetUp() override { startDesktop(QStringLiteral("sway")); }
};

TEST_F(OnSway, TheAppStartsWithThePortalBackend)
{
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(logHas(QStringLiteral("platform backend portal")))
        << m_app.log().join(u'\n').toStdString();
    EXPECT_TRUE(m_app.isRunning());
}

} // namespace
} // namespace KeloDesktops
