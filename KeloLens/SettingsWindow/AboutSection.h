// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsForm.h"
#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QUrl>

class QPushButton;
class QToolButton;

// The version, the update check (only when the updater offers one) and links to the website,
// its changelog and the support mailbox.
class AboutSection final : public SettingsSection
{
    Q_OBJECT

public:
    explicit AboutSection(const SettingsServices &services, QWidget *parent = nullptr);

    // "0.1.0 (0)": the version ("dev" when unknown) and the build number ("0" when unknown).
    [[nodiscard]] static QString versionText(const AppInfo &info);
    [[nodiscard]] static QUrl websiteUrl(const AppInfo &info);
    // The website's "/changelog" page.
    [[nodiscard]] static QUrl changelogUrl(const AppInfo &info);
    // "mailto:" and the support mailbox.
    [[nodiscard]] static QUrl supportUrl(const AppInfo &info);

    // Absent when there is no in-app update check.
    [[nodiscard]] QPushButton *updatesButton() const { return m_updatesButton; }
    [[nodiscard]] QList<QToolButton *> links() const { return m_links; }

private:
    QPushButton *m_updatesButton = nullptr;
    QList<QToolButton *> m_links;
};
