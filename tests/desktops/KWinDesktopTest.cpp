// SPDX-License-Identifier: GPL-3.0-or-later
// KeloLens on KWin 5.27 (virtual back end, XWayland) with xdg-desktop-portal-kde and spectacle.

#include "DesktopFixture.h"

namespace KeloDesktops {
namespace {

class OnKWin : public DesktopTest
{
protected:
    void SetUp() override { startDesktop(QStringLiteral("kwin")); }
};

TEST_F(OnKWin, TheAppStartsWithThePortalBackend)
{
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(logHas(QStringLiteral("platform backend portal")))
        << m_app.log().join(u'\n').toStdString();
    EXPECT_TRUE(m_app.isRunning());
}

} // namespace
} // namespace KeloDesktops
