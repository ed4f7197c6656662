// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloUpdates/FeedUpdater.h"

#include "KeloCore/AppInfo.h"
#include "KeloUpdates/UpdateDialog.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

Q_LOGGING_CATEGORY(lcUpdates, "kelolens.updates")

// Long enough for a slow connection, short enough that a dead server does not leave the user
// waiting without an answer.
constexpr int transferTimeoutMs = 20'000;

} // namespace

FeedUpdater::FeedUpdater(Settings settings, Presenter present, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)),
      m_isStarted(shouldStart(m_settings.publicKey)), m_present(std::move(present))
{
    if (!m_present) {
        m_present = [](const UpdateCheckResult &result) { UpdateDialog::present(result); };
    }
}

FeedUpdater::~FeedUpdater()
{
    if (m_reply) {
        m_reply->abort();
    }
}

FeedUpdater::Settings FeedUpdater::settingsFrom(const AppInfo &info)
{
    return {QUrl(info.updateFeed), info.updatePublicKey, info.version};
}

bool FeedUpdater::shouldStart(const QString &publicKey)
{
    return !publicKey.isEmpty() && !publicKey.startsWith(QLatin1String("REPLACE"));
}

void FeedUpdater::checkForUpdates()
{
    if (isChecking()) {
        return;
    }
    UpdateCheckResult result;
    result.currentVersion = m_settings.currentVersion;
    if (!m_isStarted) {
        result.kind = UpdateCheckResult::Kind::notStarted;
        report(result);
        return;
    }
    const QUrl &feed = m_settings.feedUrl;
    if (!feed.isValid() || (feed.scheme() != u"https" && feed.scheme() != u"http")) {
        result.message = QStringLiteral("The update feed address is not a web address.");
        report(result);
        return;
    }
    if (m_network == nullptr) {
        m_network = new QNetworkAccessManager(this);
    }
    QNetworkRequest request(feed);
    request.setTransferTimeout(transferTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("KeloLens/%1").arg(m_settings.currentVersion));
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    // Refuse a feed that grows past any sensible size instead of buffering it.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > Appcast::maximumFeedSize) {
            reply->setProperty("keloTooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void FeedUpdater::finish(QNetworkReply *reply)
{
    reply->deleteLater();
    m_reply.clear();
    UpdateCheckResult result;
    result.currentVersion = m_settings.currentVersion;
    if (reply->property("keloTooLarge").toBool()) {
        result.message = QStringLiteral("The update feed is too large.");
        report(result);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || (status != 0 && status != 200)) {
        result.message = status >= 300
                             ? QStringLiteral("The update server answered %1.").arg(status)
                             : reply->errorString();
        report(result);
        return;
    }
    const auto parsed = Appcast::parse(reply->readAll());
    if (const QString *problem = std::get_if<QString>(&parsed)) {
        result.message = *problem;
        report(result);
        return;
    }
    result.newest = Appcast::newestItem(std::get<QList<AppcastItem>>(parsed));
    if (!result.newest) {
        result.message = QStringLiteral("The update feed lists no release.");
        report(result);
        return;
    }
    const bool isNewer =
        Appcast::compareVersions(result.newest->displayVersion(), m_settings.currentVersion) > 0;
    result.kind =
        isNewer ? UpdateCheckResult::Kind::updateAvailable : UpdateCheckResult::Kind::upToDate;
    report(result);
}

void FeedUpdater::report(const UpdateCheckResult &result)
{
    if (result.kind == UpdateCheckResult::Kind::failed) {
        qCWarning(lcUpdates).noquote() << "KeloLens: update check failed:" << result.message;
    }
    m_present(result);
}
