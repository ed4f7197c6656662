// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QStringList>
#include <QWidget>

class LanguagePackInstaller;
class LanguagePackRows;
class QComboBox;
class QPushButton;
class SettingsSection;
class ToggleSwitch;
template <typename T> class QFutureWatcher;

// The Recognition settings page: automatic language detection or a preferred list of languages,
// the language packs, how lines are joined, de-hyphenation and code detection. The installed
// languages are loaded away from the main thread each time the page is shown and whenever a pack
// appears or goes; until they arrive the add picker is empty and disabled. A listed language
// whose pack is missing says so and offers to install it.
class RecognitionPage final : public QWidget
{
    Q_OBJECT

public:
    explicit RecognitionPage(const SettingsServices &services, QWidget *parent = nullptr);
    ~RecognitionPage() override;

    // "Preferred list" is chosen.
    [[nodiscard]] bool isUsingList() const { return m_isUsingList; }
    [[nodiscard]] const QStringList &supported() const { return m_supported; }
    // Whether the supported languages are being loaded.
    [[nodiscard]] bool isLoading() const;

    [[nodiscard]] QComboBox *modePicker() const { return m_modePicker; }
    // The remove button of each listed language, in list order.
    [[nodiscard]] QList<QPushButton *> removeButtons() const;
    // The Install button of each listed language whose pack is missing, in list order.
    [[nodiscard]] QList<QPushButton *> installButtons() const;
    [[nodiscard]] LanguagePackRows *packRows() const { return m_packRows; }
    [[nodiscard]] QComboBox *addPicker() const { return m_addPicker; }
    [[nodiscard]] QPushButton *addButton() const { return m_addButton; }
    [[nodiscard]] QComboBox *lineBreaksPicker() const { return m_lineBreaks; }
    [[nodiscard]] ToggleSwitch *stripHyphenationSwitch() const { return m_stripHyphenation; }
    [[nodiscard]] ToggleSwitch *detectBarcodesSwitch() const { return m_detectBarcodes; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setUsingList(bool isUsingList);
    void loadSupported();
    void applySupported(const QStringList &supported);
    [[nodiscard]] QWidget *languageRowControls(const QString &language,
                                               const QStringList &languages);
    void rebuildLanguageRows();
    void updateAddRow();
    void addChosenLanguage();
    [[nodiscard]] QString bestLanguage() const;

    SettingsServices m_services;
    bool m_isUsingList = false;
    QStringList m_supported;
    bool m_hasLoaded = false;
    // A pack came or went while the languages were being loaded: load them again after.
    bool m_isReloadWanted = false;
    QFutureWatcher<QStringList> *m_loader = nullptr;
    LanguagePackInstaller *m_packs = nullptr;
    LanguagePackRows *m_packRows = nullptr;
    SettingsSection *m_languages = nullptr;
    QComboBox *m_modePicker = nullptr;
    QList<QWidget *> m_languageRows;
    QWidget *m_addRow = nullptr;
    QComboBox *m_addPicker = nullptr;
    QPushButton *m_addButton = nullptr;
    QComboBox *m_lineBreaks = nullptr;
    ToggleSwitch *m_stripHyphenation = nullptr;
    ToggleSwitch *m_detectBarcodes = nullptr;
};
