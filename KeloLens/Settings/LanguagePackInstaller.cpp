// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Settings/LanguagePackInstaller.h"

#include "KeloLens/Recognition/RecognitionLanguages.h"

#include <QFileInfo>
#include <QPointer>

LanguagePackInstaller::LanguagePackInstaller(KeloPlatform::PackageInstaller *packages,
                                             QString dataDirectory, QObject *parent)
    : QObject(parent), m_packages(packages), m_dataDirectory(std::move(dataDirectory)),
      m_dataNames(RecognitionLanguages::installedDataNames(m_dataDirectory))
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &LanguagePackInstaller::checkFolder);
    watchFolder();
}

bool LanguagePackInstaller::canInstall() const
{
    return m_packages != nullptr && m_packages->isAvailable();
}

void LanguagePackInstaller::watchFolder()
{
    // Until the folder exists (no language installed yet), its nearest parent tells when it comes.
    QString folder = m_dataDirectory;
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder) {
            break;
        }
        folder = parent;
    }
    for (const QString &path : {folder, m_dataDirectory + QStringLiteral("/script")}) {
        if (QFileInfo(path).isDir() && !m_watcher.directories().contains(path)) {
            m_watcher.addPath(path);
        }
    }
}

void LanguagePackInstaller::checkFolder()
{
    watchFolder();
    const QStringList dataNames = RecognitionLanguages::installedDataNames(m_dataDirectory);
    if (dataNames == m_dataNames) {
        return;
    }
    m_dataNames = dataNames;
    Q_EMIT packsChanged();
}

void LanguagePackInstaller::install(const QString &package)
{
    if (!m_installing.isEmpty() || !canInstall() || package.isEmpty()) {
        return;
    }
    // Nobody awaits it: it runs on through the event loop and reports through stateChanged.
    [[maybe_unused]] QCoro::Task<> installation = run(package);
}

QCoro::Task<> LanguagePackInstaller::run(QString package)
{
    const QPointer<LanguagePackInstaller> self(this);
    m_installing = package;
    m_progress = {};
    Q_EMIT stateChanged();
    // Named, not temporaries of the co_await expression: GCC 12 destroys those twice.
    const QStringList packages{package};
    std::function<void(const KeloPlatform::PackageInstallProgress &)> onProgress =
        [self](const KeloPlatform::PackageInstallProgress &progress) {
            if (self && self->m_progress != progress) {
                self->m_progress = progress;
                Q_EMIT self->stateChanged();
            }
        };
    QCoro::Task<KeloPlatform::PackageInstall> installation =
        m_packages->install(packages, std::move(onProgress));
    const KeloPlatform::PackageInstall result = co_await std::move(installation);
    if (!self) {
        co_return;
    }
    m_installing.clear();
    m_lastOutcome = Outcome{package, result};
    Q_EMIT stateChanged();
    // The folder watch may not have fired yet.
    checkFolder();
}
