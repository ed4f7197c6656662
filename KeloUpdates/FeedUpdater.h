// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloUpdates/UpdateCheckResult.h"
#include "KeloUpdates/Updater.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

struct AppInfo;
class QNetworkAccessManager;
class QNetworkReply;

// Checks an appcast feed for a newer release when the user asks, and shows what it found. The
// feed address and public key are build settings; a build whose key is empty or still the
// "REPLACE..." placeholder is not started and never touches the network. Downloads happen in the
// browser, from the release's page, so nothing is installed from here. Main thread only.
class FeedUpdater final : public QObject, public Updater
{
    Q_OBJECT

public:
    struct Settings
    {
        QUrl feedUrl;
        QString publicKey;
        // This build's version, compared with the feed's newest.
        QString currentVersion;
    };
    using Presenter = std::function<void(const UpdateCheckResult &)>;

    // The presenter shows each check's outcome; without one, UpdateDialog does.
    explicit FeedUpdater(Settings settings, Presenter present = {}, QObject *parent = nullptr);
    ~FeedUpdater() override;

    [[nodiscard]] static Settings settingsFrom(const AppInfo &info);
    // Whether a key is usable: not empty and not a placeholder beginning with "REPLACE".
    [[nodiscard]] static bool shouldStart(const QString &publicKey);

    [[nodiscard]] bool isStarted() const { return m_isStarted; }
    [[nodiscard]] bool isChecking() const { return !m_reply.isNull(); }
    // Always true: even an updater that was not started answers a check, by saying so.
    [[nodiscard]] bool isAvailable() const override { return true; }
    // Ignored while a check is under way.
    void checkForUpdates() override;

private:
    void finish(QNetworkReply *reply);
    void report(const UpdateCheckResult &result);

    Settings m_settings;
    bool m_isStarted;
    Presenter m_present;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
};
