// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/LanguagePackRows.h"

#include "KeloLens/Recognition/LanguageNames.h"
#include "KeloLens/Recognition/LanguagePacks.h"
#include "KeloLens/Settings/LanguagePackInstaller.h"
#include "KeloLens/SettingsWindow/SettingsForm.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <chrono>

namespace {

using KeloPlatform::PackageInstall;

const auto copyTitle = QStringLiteral("Copy");

} // namespace

LanguagePackRows::LanguagePackRows(SettingsSection &section, LanguagePackInstaller &installer,
                                   const SettingsServices &services)
    : QObject(&section), m_installer(installer), m_services(services)
{
    auto *controls = new QWidget;
    auto *controlsLayout = new QHBoxLayout(controls);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    m_picker = new QComboBox;
    m_picker->setMinimumWidth(170);
    m_picker->setAccessibleName(QStringLiteral("Language to install"));
    m_installButton = new QPushButton(QStringLiteral("Install"));
    controlsLayout->addWidget(m_picker, 0, Qt::AlignVCenter);
    controlsLayout->addWidget(m_installButton, 0, Qt::AlignVCenter);
    QWidget *pickerRow =
        section.addRow(QStringLiteral("Install a language"), QStringLiteral(" "), controls);
    m_summary = pickerRow->findChild<QLabel *>(QStringLiteral("rowDescription"));
    connect(m_picker, &QComboBox::currentIndexChanged, this,
            &LanguagePackRows::updateInstallButton);
    connect(m_installButton, &QPushButton::clicked, this,
            [this] { requestInstall(m_picker->currentData().toString()); });

    auto *state = new QWidget;
    auto *stateLayout = new QVBoxLayout(state);
    stateLayout->setContentsMargins(0, 0, 0, 0);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("installStatus"));
    m_status->setFont(themeFont(TextStyle::caption));
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    m_progress = new QProgressBar;
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(6);
    m_commandRow = new QWidget;
    auto *commandLayout = new QHBoxLayout(m_commandRow);
    commandLayout->setContentsMargins(0, 0, 0, 0);
    m_command = new QLineEdit;
    m_command->setReadOnly(true);
    m_command->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_command->setAccessibleName(QStringLiteral("Install command"));
    m_copyButton = new QPushButton(copyTitle);
    commandLayout->addWidget(m_command, 1);
    commandLayout->addWidget(m_copyButton);
    stateLayout->addWidget(m_status);
    stateLayout->addWidget(m_progress);
    stateLayout->addWidget(m_commandRow);
    m_stateRow = section.addRow(state);
    connect(m_copyButton, &QPushButton::clicked, this, &LanguagePackRows::copyCommand);
    m_copiedReset.setSingleShot(true);
    m_copiedReset.setInterval(std::chrono::seconds(1));
    connect(&m_copiedReset, &QTimer::timeout, this, [this] { m_copyButton->setText(copyTitle); });

    connect(&m_installer, &LanguagePackInstaller::stateChanged, this, &LanguagePackRows::showState);
    rebuildPicker();
    showState();
}

void LanguagePackRows::setInstalled(const QStringList &installed)
{
    if (installed == m_installed) {
        return;
    }
    m_installed = installed;
    // A pack that arrived while its command was shown needs no command any more.
    if (!m_manualPackage.isEmpty() && isInstalledPackage(m_manualPackage)) {
        m_manualPackage.clear();
    }
    rebuildPicker();
    showState();
}

void LanguagePackRows::rebuildPicker()
{
    const QString chosen = m_picker->currentData().toString();
    const QSignalBlocker blocker(m_picker);
    m_picker->clear();
    m_picker->addItem(QStringLiteral("Choose…"), QString());
    QStringList installedNames;
    auto *model = qobject_cast<QStandardItemModel *>(m_picker->model());
    for (const LanguagePacks::LanguagePack &pack : LanguagePacks::all(m_installed)) {
        const QString name = LanguageNames::displayName(pack.tag, m_services.locale);
        if (!pack.isInstalled) {
            m_picker->addItem(name, pack.tag);
            continue;
        }
        installedNames << name;
        // Listed, so that the picker shows every language, but there is nothing to install.
        m_picker->addItem(name + QStringLiteral(" — installed"), QString());
        if (QStandardItem *item = model ? model->item(m_picker->count() - 1) : nullptr) {
            item->setEnabled(false);
        }
    }
    m_picker->setCurrentIndex(chosen.isEmpty() ? 0 : std::max(0, m_picker->findData(chosen)));
    m_summary->setText(installedNames.isEmpty() ? QStringLiteral("No language is installed yet.")
                                                : QStringLiteral("Installed: ") +
                                                      installedNames.join(QStringLiteral(", ")));
    updateInstallButton();
}

void LanguagePackRows::requestInstall(const QString &tag)
{
    const std::optional<QString> package = LanguagePacks::packageFor(tag);
    if (!package) {
        return;
    }
    if (m_installer.canInstall()) {
        m_manualPackage.clear();
        m_installer.install(*package);
    } else {
        m_manualPackage = *package;
    }
    showState();
}

void LanguagePackRows::showState()
{
    const QString installing = m_installer.installingPackage();
    QString status;
    bool showsProgress = false;
    bool showsCommand = !m_manualPackage.isEmpty();
    if (!installing.isEmpty()) {
        const KeloPlatform::PackageInstallProgress &progress = m_installer.progress();
        status = QStringLiteral("Installing %1…").arg(nameOfPackage(installing));
        if (!progress.step.isEmpty()) {
            status += u' ' + progress.step;
        }
        showsProgress = true;
        m_progress->setRange(0, progress.percent < 0 ? 0 : 100);
        m_progress->setValue(std::max(0, progress.percent));
    } else if (!m_manualPackage.isEmpty()) {
        status = QStringLiteral("Install %1 from a terminal; it shows here once it is installed:")
                     .arg(nameOfPackage(m_manualPackage));
        m_command->setText(LanguagePacks::installCommand({m_manualPackage}));
    } else if (const auto &outcome = m_installer.lastOutcome()) {
        const QString name = nameOfPackage(outcome->package);
        if (outcome->result.status == PackageInstall::Status::installed ||
            isInstalledPackage(outcome->package)) {
            status = QStringLiteral("%1 is installed.").arg(name);
        } else {
            // A desktop without a password prompt refuses every installation through the service
            // (so does one that cannot reach it); a terminal still can.
            status = outcome->result.message + u' ' +
                     QStringLiteral("Or install %1 from a terminal:").arg(name);
            m_command->setText(LanguagePacks::installCommand({outcome->package}));
            showsCommand = true;
        }
    }
    m_status->setText(status);
    m_status->setVisible(!status.isEmpty());
    m_progress->setVisible(showsProgress);
    m_commandRow->setVisible(showsCommand && installing.isEmpty());
    m_stateRow->setVisible(!status.isEmpty());
    updateInstallButton();
}

void LanguagePackRows::updateInstallButton()
{
    const bool isChosen = !m_picker->currentData().toString().isEmpty();
    m_picker->setEnabled(m_installer.installingPackage().isEmpty());
    m_installButton->setEnabled(isChosen && m_installer.installingPackage().isEmpty());
}

void LanguagePackRows::copyCommand()
{
    const QString command = m_command->text();
    const bool isCopied = m_services.copyText ? m_services.copyText(command) : [&] {
        QGuiApplication::clipboard()->setText(command);
        return true;
    }();
    if (isCopied) {
        m_copyButton->setText(QStringLiteral("Copied"));
        m_copiedReset.start();
    }
}

bool LanguagePackRows::isInstalledPackage(const QString &package) const
{
    return std::any_of(m_installed.begin(), m_installed.end(), [&](const QString &tag) {
        return LanguagePacks::packageFor(tag) == package;
    });
}

QString LanguagePackRows::nameOfPackage(const QString &package) const
{
    for (const LanguagePacks::LanguagePack &pack : LanguagePacks::all({})) {
        if (pack.package == package) {
            return LanguageNames::displayName(pack.tag, m_services.locale);
        }
    }
    return package;
}
