// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/PackageInstaller.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// Installs recognition language packs through the system's package service, and notices when a
// pack appears in or leaves the language data folder, whoever put it there (the service, apt in a
// terminal, a software centre). Lives as long as the application, so that an installation
// started on the settings page goes on when the page goes. Main thread only.
class LanguagePackInstaller final : public QObject
{
    Q_OBJECT

public:
    // How an installation ended.
    struct Outcome
    {
        QString package;
        KeloPlatform::PackageInstall result;

        bool operator==(const Outcome &) const = default;
    };

    // Without a package service (or one that is not available) packs are installed by hand. The
    // service must outlive this.
    LanguagePackInstaller(KeloPlatform::PackageInstaller *packages, QString dataDirectory,
                          QObject *parent = nullptr);

    [[nodiscard]] bool canInstall() const;
    [[nodiscard]] const QString &dataDirectory() const { return m_dataDirectory; }
    // The package being installed; empty when none is.
    [[nodiscard]] const QString &installingPackage() const { return m_installing; }
    [[nodiscard]] const KeloPlatform::PackageInstallProgress &progress() const
    {
        return m_progress;
    }
    // How the latest installation ended; absent before the first ends.
    [[nodiscard]] const std::optional<Outcome> &lastOutcome() const { return m_lastOutcome; }

    // Starts installing the package; does nothing while another installation runs, or without a
    // package service.
    void install(const QString &package);

Q_SIGNALS:
    // A language pack appeared in the data folder or left it.
    void packsChanged();
    // An installation started or ended, or moved on.
    void stateChanged();

private:
    QCoro::Task<> run(QString package);
    void watchFolder();
    void checkFolder();

    KeloPlatform::PackageInstaller *m_packages;
    QString m_dataDirectory;
    QFileSystemWatcher m_watcher;
    QStringList m_dataNames;
    QString m_installing;
    KeloPlatform::PackageInstallProgress m_progress;
    std::optional<Outcome> m_lastOutcome;
};
