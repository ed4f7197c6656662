// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

class LanguagePackInstaller;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;
class SettingsSection;

// The language pack rows of the Recognition page: a picker with every language that has a
// package, the installed ones first (and not choosable), an Install button, and under them how
// an installation goes or ended. Where the system has no package service, Install shows the
// terminal command instead, with a Copy button. The rows go at the end of the given section.
class LanguagePackRows final : public QObject
{
    Q_OBJECT

public:
    LanguagePackRows(SettingsSection &section, LanguagePackInstaller &installer,
                     const SettingsServices &services);

    // The installed languages (tags), as the page has loaded them.
    void setInstalled(const QStringList &installed);
    // Installs the language's pack, or shows the command that does.
    void requestInstall(const QString &tag);

    [[nodiscard]] QComboBox *picker() const { return m_picker; }
    [[nodiscard]] QPushButton *installButton() const { return m_installButton; }
    [[nodiscard]] QLabel *statusLabel() const { return m_status; }
    // The terminal command shown where packages cannot be installed from here; hidden otherwise.
    [[nodiscard]] QLineEdit *commandField() const { return m_command; }
    [[nodiscard]] QPushButton *copyButton() const { return m_copyButton; }

private:
    void rebuildPicker();
    void showState();
    void updateInstallButton();
    void copyCommand();
    [[nodiscard]] QString nameOfPackage(const QString &package) const;
    [[nodiscard]] bool isInstalledPackage(const QString &package) const;

    LanguagePackInstaller &m_installer;
    SettingsServices m_services;
    QStringList m_installed;
    // The package whose command is shown, where there is no package service.
    QString m_manualPackage;
    QComboBox *m_picker = nullptr;
    QPushButton *m_installButton = nullptr;
    QLabel *m_summary = nullptr;
    QWidget *m_stateRow = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_progress = nullptr;
    QWidget *m_commandRow = nullptr;
    QLineEdit *m_command = nullptr;
    QPushButton *m_copyButton = nullptr;
    QTimer m_copiedReset;
};
