// SPDX-License-Identifier: GPL-3.0-or-later
// What the Screenshot portal's answers mean for a capture, where a real desktop cannot be made to
// give them: refusals, failures and replies without a usable file.

#include "KeloPlatform/portal/PortalRequest.h"
#include "KeloPlatform/portal/PortalScreenshotService.h"
#include "KeloPlatform/wayland/DesktopLayout.h"
#include "KeloPlatform/wayland/WorkspaceImage.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using KeloPlatform::PortalScreenshotService;
using KeloPlatform::Screenshot;
using KeloPlatform::portal::PortalResponse;

namespace {

Screenshot answer(PortalResponse::Outcome outcome, const QString &uri = {},
                  const QDateTime &start = QDateTime::currentDateTime().addSecs(-60))
{
    PortalResponse response{outcome, {}, QStringLiteral("in the log")};
    if (!uri.isNull()) {
        response.results.insert(QStringLiteral("uri"), uri);
    }
    return PortalScreenshotService::fromResponse(response, start);
}

} // namespace

TEST(PortalScreenshotAnswer, RefusalsAndFailuresAreToldApart)
{
    EXPECT_EQ(answer(PortalResponse::Outcome::cancelled).status, Screenshot::Status::cancelled);
    EXPECT_EQ(answer(PortalResponse::Outcome::failed).message,
              QStringLiteral("The desktop couldn't take the screenshot."));
    EXPECT_TRUE(answer(PortalResponse::Outcome::timedOut)
                    .message.startsWith(QStringLiteral("The desktop's screenshot service didn't")));
    EXPECT_TRUE(answer(PortalResponse::Outcome::unreachable)
                    .message.contains(QStringLiteral("xdg-desktop-portal")));
    // Success without a local file to read is a failure, never an empty capture.
    for (const QString &uri : {QString(), QStringLiteral("https://example.org/shot.png"),
                               QStringLiteral("file:///nonexistent/shot.png")}) {
        const Screenshot malformed = answer(PortalResponse::Outcome::success, uri);
        EXPECT_EQ(malformed.status, Screenshot::Status::failed) << uri.toStdString();
        EXPECT_FALSE(malformed.message.isEmpty());
    }
}

// Only a file made while the request ran is ours to delete; a picture the desktop hands back from
// the user's folders is left alone.
TEST(PortalScreenshotAnswer, OnlyAFileMadeForTheRequestIsOwned)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("Screenshot.png"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
    ASSERT_TRUE(QImage(40, 20, QImage::Format_RGB32).save(picture));
    const QString uri = QUrl::fromLocalFile(picture).toString();

    const Screenshot fresh = answer(PortalResponse::Outcome::success, uri, before);
    ASSERT_EQ(fresh.status, Screenshot::Status::saved);
    EXPECT_EQ(fresh.path, QFileInfo(picture).absoluteFilePath());
    EXPECT_TRUE(fresh.isOwnedByCaller);

    const Screenshot existing =
        answer(PortalResponse::Outcome::success, uri, QDateTime::currentDateTime().addSecs(60));
    ASSERT_EQ(existing.status, Screenshot::Status::saved);
    EXPECT_FALSE(existing.isOwnedByCaller);
}

// A picture of the whole desktop, at the larger monitor's scale (2), is cut where each monitor
// lies, one of them left of and above the other; a picture of another layout is refused.
TEST(PortalScreenshotAnswer, AWholeDesktopPictureIsCutIntoItsMonitors)
{
    const QList<KeloPlatform::MonitorImage> monitors{
        {QStringLiteral("left"), {-400, -100, 400, 300}, {}},
        {QStringLiteral("main"), {0, 0, 600, 400}, {}}};
    QImage workspace(2000, 1000, QImage::Format_RGB32);
    workspace.fill(Qt::black);
    QPainter(&workspace).fillRect(QRect(0, 0, 800, 600), Qt::red);
    QPainter(&workspace).fillRect(QRect(800, 200, 1200, 800), Qt::blue);
    const auto split = KeloPlatform::splitWorkspace(workspace, monitors);
    ASSERT_TRUE(split.has_value());
    ASSERT_EQ(split->size(), 2);
    EXPECT_EQ(split->at(0).image.size(), QSize(800, 600));
    EXPECT_EQ(split->at(1).image.size(), QSize(1200, 800));
    EXPECT_EQ(split->at(0).image.pixel(799, 599), QColor(Qt::red).rgb());
    EXPECT_EQ(split->at(1).image.pixel(0, 0), QColor(Qt::blue).rgb());
    EXPECT_EQ(split->at(1).image.pixel(1199, 799), QColor(Qt::blue).rgb());
    EXPECT_FALSE(KeloPlatform::splitWorkspace(workspace.copy(0, 0, 2000, 600), monitors));
}

// XWayland on KWin puts its monitors elsewhere than KWin does; they take the compositor's places
// by XWayland's numbers, size for size, and keep their own where the sizes say another layout.
TEST(PortalScreenshotAnswer, MonitorsTakeTheCompositorsPlacesWhereTheyMatch)
{
    const QList<KeloPlatform::MonitorImage> monitors{
        {QStringLiteral("XWAYLAND1"), {0, 0, 640, 360}, {}},
        {QStringLiteral("XWAYLAND0"), {1280, 0, 1280, 720}, {}}};
    const QList<QRect> layout{{640, 0, 1280, 720}, {0, 0, 640, 360}};
    EXPECT_EQ(KeloPlatform::placesInDesktop(monitors, layout),
              QList<QRect>({{0, 0, 640, 360}, {640, 0, 1280, 720}}));
    const QList<QRect> other{{0, 0, 1280, 720}, {1280, 0, 1280, 720}};
    EXPECT_EQ(KeloPlatform::placesInDesktop(monitors, other),
              QList<QRect>({monitors[0].geometry, monitors[1].geometry}));
}
