// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QStringList>
#include <QWidget>

class QComboBox;
class QPushButton;
class SettingsSection;
class ToggleSwitch;
template <typename T> class QFutureWatcher;

// The Recognition settings page: automatic language detection or a preferred list of languages,
// how lines are joined, de-hyphenation and code detection. The supported languages are loaded
// away from the main thread each time the page is shown; until they arrive the add picker is
// empty and disabled.
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
    [[nodiscard]] QComboBox *addPicker() const { return m_addPicker; }
    [[nodiscard]] QPushButton *addButton() const { return m_addButton; }
    [[nodiscard]] QComboBox *lineBreaksPicker() const { return m_lineBreaks; }
    [[nodiscard]] ToggleSwitch *stripHyphenationSwitch() const { return m_stripHyphenation; }
    [[nodiscard]] ToggleSwitch *detectBarcodesSwitch() const { return m_detectBarcodes; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setUsingList(bool isUsingList);
    void applySupported(const QStringList &supported);
    void rebuildLanguageRows();
    void updateAddRow();
    void addChosenLanguage();
    [[nodiscard]] QString bestLanguage() const;

    SettingsServices m_services;
    bool m_isUsingList = false;
    QStringList m_supported;
    QFutureWatcher<QStringList> *m_loader = nullptr;
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
