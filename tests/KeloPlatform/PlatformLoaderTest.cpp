// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/Platform.h"

#include <gtest/gtest.h>

namespace {

QProcessEnvironment environment(std::initializer_list<std::pair<const char *, const char *>> vars)
{
    QProcessEnvironment env;
    for (const auto &[name, value] : vars) {
        env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    }
    return env;
}

} // namespace

TEST(PlatformLoader, ChoosesFromTheSessionAndHonoursTheOverride)
{
    const QString x11 = QStringLiteral("x11");
    const QString null = QStringLiteral("null");
    const QString xcb = QStringLiteral("xcb");
    ASSERT_TRUE(KeloPlatform::availableBackends().contains(x11));

    EXPECT_EQ(KeloPlatform::chooseBackend(environment({{"DISPLAY", ":0"}}), xcb), x11);
    EXPECT_EQ(KeloPlatform::chooseBackend(environment({{"XDG_SESSION_TYPE", "x11"}}), xcb), x11);
    // X11 services ride on Qt's own X connection: without one there is nothing to talk through.
    EXPECT_EQ(
        KeloPlatform::chooseBackend(environment({{"DISPLAY", ":0"}}), QStringLiteral("offscreen")),
        null);
    EXPECT_EQ(KeloPlatform::chooseBackend(environment({}), xcb), null);
    // A Wayland session gets the portals, whether Qt runs natively or through XWayland: X11
    // could neither grab keys nor reach Wayland windows there.
    const QString portal = QStringLiteral("portal");
    ASSERT_TRUE(KeloPlatform::availableBackends().contains(portal));
    EXPECT_EQ(KeloPlatform::chooseBackend(environment({{"XDG_SESSION_TYPE", "wayland"},
                                                       {"WAYLAND_DISPLAY", "wayland-0"},
                                                       {"DISPLAY", ":1"}}),
                                          xcb),
              portal);
    EXPECT_EQ(KeloPlatform::chooseBackend(environment({{"WAYLAND_DISPLAY", "wayland-0"}}),
                                          QStringLiteral("wayland")),
              portal);
    EXPECT_EQ(KeloPlatform::chooseBackend(environment({{"XDG_SESSION_TYPE", "wayland"}}),
                                          QStringLiteral("offscreen")),
              portal);
    EXPECT_EQ(KeloPlatform::chooseBackend(environment({{"WAYLAND_DISPLAY", "wayland-0"},
                                                       {"DISPLAY", ":1"},
                                                       {"KELOLENS_PLATFORM", "x11"}}),
                                          xcb),
              x11)
        << "the override still wins";

    EXPECT_EQ(KeloPlatform::chooseBackend(environment({{"KELOLENS_PLATFORM", "X11"}}), xcb), x11);
    EXPECT_EQ(KeloPlatform::chooseBackend(
                  environment({{"DISPLAY", ":0"}, {"KELOLENS_PLATFORM", "bogus"}}), xcb),
              x11)
        << "an unknown override falls back to the session";
}

TEST(PlatformLoader, TheInterfaceRunsThroughXWaylandWhereThereIsOne)
{
    EXPECT_EQ(KeloPlatform::preferredQtPlatform(
                  environment({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}})),
              QStringLiteral("xcb"));
    EXPECT_EQ(KeloPlatform::preferredQtPlatform(environment({{"XDG_SESSION_TYPE", "wayland"}})),
              QStringLiteral("wayland"));
    EXPECT_EQ(KeloPlatform::preferredQtPlatform(
                  environment({{"WAYLAND_DISPLAY", "wayland-0"}, {"QT_QPA_PLATFORM", "wayland"}})),
              QString())
        << "the user's choice stays";
    EXPECT_EQ(KeloPlatform::preferredQtPlatform(environment({{"DISPLAY", ":0"}})), QString());
}
