// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/portal/PortalScreenshotService.h"

#include "KeloPlatform/portal/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDateTime>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

#include <ctime>
#include <unistd.h>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcScreenshot, "kelolens.platform.screenshot")

using portal::PortalRequest;
using portal::PortalResponse;

const QString screenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString permissionStoreService =
    QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString permissionStorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
// The store's table for screenshots, and the one entry in it.
const QString screenshotTable = QStringLiteral("screenshot");

// The permission store's answer: application id to the permissions it holds.
QMap<QString, QStringList> readPermissions(const QDBusArgument &argument)
{
    QMap<QString, QStringList> permissions;
    argument.beginMap();
    while (!argument.atEnd()) {
        QString app;
        QStringList values;
        argument.beginMapEntry();
        argument >> app >> values;
        argument.endMapEntry();
        permissions.insert(app, values);
    }
    argument.endMap();
    return permissions;
}

// Now, on the clock the kernel stamps files with: its coarse clock lags the precise one by up to
// a tick, so a file made right after the precise "now" could look older than the request.
QDateTime fileClockNow()
{
    timespec now{};
    if (::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0) {
        return QDateTime::currentDateTime();
    }
    return QDateTime::fromMSecsSinceEpoch(qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

// A file made for this request: created while it ran, by this user, a plain file. Files the
// desktop hands back from elsewhere (an existing picture) are the user's.
bool isMadeForRequest(const QFileInfo &file, const QDateTime &requestStart)
{
    if (file.isSymLink() || !file.isFile() || file.ownerId() != uint(::getuid())) {
        return false;
    }
    QDateTime made = file.birthTime();
    if (!made.isValid()) {
        made = file.lastModified();
    }
    // No slack, also on file systems that round times: a user's file taken for ours would be
    // deleted, while a fresh file taken for the user's is only left behind.
    return made.isValid() && made >= requestStart;
}

Screenshot failed(const QString &message)
{
    return {Screenshot::Status::failed, {}, false, message};
}

} // namespace

QStringList PortalScreenshotService::permissionAppIds()
{
    return {QStringLiteral("app.kelolens.KeloLens"), QString()};
}

PortalScreenshotService::PortalScreenshotService(QDBusConnection bus,
                                                 std::chrono::milliseconds timeout)
    : m_bus(std::move(bus)), m_timeout(timeout)
{
}

bool PortalScreenshotService::isAvailable() const
{
    if (!m_isAvailable) {
        m_isAvailable =
            portal::interfaceVersion(m_bus, screenshotInterface, std::chrono::seconds(3))
                .has_value();
    }
    return *m_isAvailable;
}

std::optional<QMap<QString, QStringList>> PortalScreenshotService::storedEntries() const
{
    if (!m_bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(permissionStoreService, permissionStorePath,
                                       permissionStoreService, QStringLiteral("Lookup"));
    message << screenshotTable << screenshotTable;
    // Asked at every capture start: a store that does not answer quickly counts as unreadable.
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        // No table yet (nothing stored) or no store at all.
        return std::nullopt;
    }
    return readPermissions(reply.arguments().constFirst().value<QDBusArgument>());
}

std::optional<bool> PortalScreenshotService::storedPermission() const
{
    const auto permissions = storedEntries();
    if (!permissions) {
        return std::nullopt;
    }
    std::optional<bool> answer;
    for (const QString &app : permissionAppIds()) {
        const auto found = permissions->find(app);
        if (found == permissions->end() || found->isEmpty()) {
            continue;
        }
        if (found->contains(QStringLiteral("no"))) {
            return false;
        }
        if (found->contains(QStringLiteral("yes"))) {
            answer = true;
        }
    }
    return answer;
}

bool PortalScreenshotService::canForgetRefusal() const
{
    return storedEntries().has_value();
}

bool PortalScreenshotService::forgetRefusal()
{
    const auto permissions = storedEntries();
    if (!permissions) {
        return false;
    }
    bool isForgotten = false;
    for (const QString &app : permissionAppIds()) {
        if (!permissions->value(app).contains(QStringLiteral("no"))) {
            continue;
        }
        QDBusMessage message = QDBusMessage::createMethodCall(
            permissionStoreService, permissionStorePath, permissionStoreService,
            QStringLiteral("DeletePermission"));
        message << screenshotTable << screenshotTable << app;
        const QDBusMessage reply = m_bus.call(message, QDBus::Block, 1000);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            qCWarning(lcScreenshot).noquote()
                << QStringLiteral("KeloLens: the refused screenshot permission could not be "
                                  "forgotten: %1")
                       .arg(reply.errorMessage());
            return false;
        }
        isForgotten = true;
    }
    return isForgotten;
}

QCoro::Task<Screenshot> PortalScreenshotService::takeInteractive()
{
    return take(true);
}

QCoro::Task<Screenshot> PortalScreenshotService::takeNonInteractive()
{
    return take(false);
}

QCoro::Task<Screenshot> PortalScreenshotService::take(bool isInteractive)
{
    const QDateTime start = fileClockNow();
    QVariantMap options;
    options.insert(QStringLiteral("interactive"), isInteractive);
    options.insert(QStringLiteral("modal"), true);
    PortalRequest request(m_bus, screenshotInterface, QStringLiteral("Screenshot"),
                          {QString(), options}, m_timeout);
    const PortalResponse response = co_await portal::ResponseAwaiter(request);
    co_return fromResponse(response, start);
}

Screenshot PortalScreenshotService::fromResponse(const PortalResponse &response,
                                                 const QDateTime &requestStart)
{
    switch (response.outcome) {
    case PortalResponse::Outcome::cancelled:
        return Screenshot{Screenshot::Status::cancelled, {}, false, {}};
    case PortalResponse::Outcome::timedOut:
        qCWarning(lcScreenshot).noquote() << QStringLiteral("KeloLens: ") + response.error;
        return failed(QStringLiteral("The desktop's screenshot service didn't answer. "
                                     "Try again, or restart the session if it keeps "
                                     "happening."));
    case PortalResponse::Outcome::unreachable:
        qCWarning(lcScreenshot).noquote() << QStringLiteral("KeloLens: ") + response.error;
        return failed(QStringLiteral("Couldn't reach the desktop's screenshot service. "
                                     "Is xdg-desktop-portal installed?"));
    case PortalResponse::Outcome::failed:
        qCWarning(lcScreenshot).noquote() << QStringLiteral("KeloLens: ") + response.error;
        return failed(QStringLiteral("The desktop couldn't take the screenshot."));
    case PortalResponse::Outcome::success:
        break;
    }

    const QUrl uri(response.results.value(QStringLiteral("uri")).toString());
    const QFileInfo file(uri.toLocalFile());
    if (!uri.isLocalFile() || !file.exists()) {
        qCWarning(lcScreenshot).noquote()
            << QStringLiteral("KeloLens: the screenshot portal answered with no readable file (%1)")
                   .arg(uri.toString());
        return failed(QStringLiteral("The desktop took the screenshot but gave no file "
                                     "to read."));
    }
    return Screenshot{Screenshot::Status::saved,
                      file.absoluteFilePath(),
                      isMadeForRequest(file, requestStart),
                      {}};
}

} // namespace KeloPlatform
