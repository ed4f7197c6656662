// SPDX-License-Identifier: GPL-3.0-or-later
// KeloLens on GNOME Shell 43 (nested, Wayland, XWayland) with xdg-desktop-portal-gnome.

#include "DesktopFixture.h"

namespace KeloDesktops {
namespace {

class OnGnome : public DesktopTest
{
protected:
    void SetUp() override { startDesktop(QStringLiteral("gnome")); }
};

TEST_F(OnGnome, TheAppStartsWithThePortalBackend)
{
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(logHas(QStringLiteral("platform backend portal")))
        << m_app.log().join(u'\n').toStdString();
    EXPECT_TRUE(m_app.isRunning());
}

} // namespace
} // namespace KeloDesktops
