// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/RecognitionPage.h"

#include "KeloLens/Recognition/LanguageNames.h"
#include "KeloLens/Recognition/LanguagePacks.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Settings/LanguagePackInstaller.h"
#include "KeloLens/Settings/Preferences.h"
#include "KeloLens/SettingsWindow/LanguagePackRows.h"
#include "KeloLens/SettingsWindow/SettingsForm.h"
#include "KeloLens/SettingsWindow/SettingsIcon.h"
#include "KeloLens/SettingsWindow/ToggleSwitch.h"
#include "KeloTheme/Symbols.h"

#include <QComboBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <utility>

RecognitionPage::RecognitionPage(const SettingsServices &services, QWidget *parent)
    : QWidget(parent), m_services(services)
{
    if (!m_services.loadSupportedLanguages) {
        m_services.loadSupportedLanguages = [] {
            return RecognitionLanguages::supportedLanguages();
        };
    }
    m_packs = m_services.languagePacks;
    if (m_packs == nullptr) {
        m_packs = new LanguagePackInstaller(nullptr, RecognitionLanguages::dataDirectory(), this);
    }
    connect(m_packs, &LanguagePackInstaller::packsChanged, this, &RecognitionPage::loadSupported);
    Preferences &prefs = m_services.preferences;
    auto *form = new SettingsForm(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);

    m_languages = form->addSection(
        {}, QStringLiteral("Automatic works for most screens. A preferred list helps with mixed "
                           "or unusual scripts."));
    m_modePicker = new QComboBox;
    m_modePicker->addItem(QStringLiteral("Automatic"), false);
    m_modePicker->addItem(QStringLiteral("Preferred list"), true);
    connect(m_modePicker, &QComboBox::activated, this,
            [this](int index) { setUsingList(m_modePicker->itemData(index).toBool()); });
    m_languages->addRow(QStringLiteral("Languages"), {}, m_modePicker);

    auto *addControls = new QWidget;
    auto *addLayout = new QHBoxLayout(addControls);
    addLayout->setContentsMargins(0, 0, 0, 0);
    m_addPicker = new QComboBox;
    m_addPicker->setMinimumWidth(200);
    m_addButton = new QPushButton(QStringLiteral("Add"));
    addLayout->addWidget(m_addPicker, 0, Qt::AlignVCenter);
    addLayout->addWidget(m_addButton, 0, Qt::AlignVCenter);
    connect(m_addPicker, &QComboBox::currentIndexChanged, this, &RecognitionPage::updateAddRow);
    connect(m_addButton, &QPushButton::clicked, this, &RecognitionPage::addChosenLanguage);
    m_addRow = m_languages->addRow(QStringLiteral("Add"), {}, addControls);

    m_packRows = new LanguagePackRows(*m_languages, *m_packs, m_services);

    SettingsSection *text = form->addSection(QStringLiteral("Text"));
    m_lineBreaks = new QComboBox;
    for (const LineBreakMode mode : allLineBreakModes()) {
        m_lineBreaks->addItem(title(mode), int(mode));
    }
    const auto showLineBreaks = [this](LineBreakMode mode) {
        m_lineBreaks->setCurrentIndex(m_lineBreaks->findData(int(mode)));
    };
    showLineBreaks(prefs.lineBreaks());
    connect(m_lineBreaks, &QComboBox::activated, this, [this](int index) {
        m_services.preferences.setLineBreaks(LineBreakMode(m_lineBreaks->itemData(index).toInt()));
    });
    connect(&prefs, &Preferences::lineBreaksChanged, m_lineBreaks, showLineBreaks);
    text->addRow(QStringLiteral("Line breaks"), {}, m_lineBreaks);

    m_stripHyphenation =
        ToggleSwitch::bound(prefs, prefs.stripHyphenation(), &Preferences::setStripHyphenation,
                            &Preferences::stripHyphenationChanged);
    text->addRow(QStringLiteral("Join words split by a hyphen at the line end"),
                 QStringLiteral("“recog-” + “nised” becomes “recognised”."), m_stripHyphenation);

    SettingsSection *codes = form->addSection(QStringLiteral("Codes"));
    m_detectBarcodes =
        ToggleSwitch::bound(prefs, prefs.detectBarcodes(), &Preferences::setDetectBarcodes,
                            &Preferences::detectBarcodesChanged);
    codes->addRow(QStringLiteral("Detect QR codes and barcodes"),
                  QStringLiteral("For text captures. Capture Code always reads codes."),
                  m_detectBarcodes);

    connect(&prefs, &Preferences::recognitionLanguagesChanged, this,
            &RecognitionPage::rebuildLanguageRows);
    m_isUsingList = !prefs.recognitionLanguages().isEmpty();
    rebuildLanguageRows();
}

RecognitionPage::~RecognitionPage()
{
    // The load runs on its own; its result is simply dropped.
    if (m_loader != nullptr) {
        m_loader->disconnect(this);
    }
}

bool RecognitionPage::isLoading() const
{
    return m_loader != nullptr && m_loader->isRunning();
}

void RecognitionPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    m_isUsingList = !m_services.preferences.recognitionLanguages().isEmpty();
    rebuildLanguageRows();
    loadSupported();
}

void RecognitionPage::loadSupported()
{
    if (isLoading()) {
        m_isReloadWanted = true;
        return;
    }
    if (m_loader == nullptr) {
        m_loader = new QFutureWatcher<QStringList>(this);
        connect(m_loader, &QFutureWatcher<QStringList>::finished, this, [this] {
            applySupported(m_loader->result());
            if (std::exchange(m_isReloadWanted, false)) {
                loadSupported();
            }
        });
    }
    m_loader->setFuture(QtConcurrent::run(m_services.loadSupportedLanguages));
}

void RecognitionPage::applySupported(const QStringList &supported)
{
    m_supported = supported;
    m_hasLoaded = true;
    m_packRows->setInstalled(supported);
    Preferences &prefs = m_services.preferences;
    if (m_isUsingList && prefs.recognitionLanguages().isEmpty()) {
        prefs.setRecognitionLanguages({bestLanguage()});
    }
    rebuildLanguageRows();
}

void RecognitionPage::setUsingList(bool isUsingList)
{
    if (isUsingList == m_isUsingList) {
        return;
    }
    m_isUsingList = isUsingList;
    Preferences &prefs = m_services.preferences;
    if (!isUsingList) {
        // No languages means automatic detection.
        prefs.setRecognitionLanguages({});
    } else if (prefs.recognitionLanguages().isEmpty()) {
        prefs.setRecognitionLanguages({bestLanguage()});
    }
    rebuildLanguageRows();
}

QString RecognitionPage::bestLanguage() const
{
    return bestLanguageMatch(m_services.locale.name(), m_supported);
}

void RecognitionPage::rebuildLanguageRows()
{
    m_modePicker->setCurrentIndex(m_isUsingList ? 1 : 0);
    // A remove button may be what is running now: its row goes once the click is over.
    for (QWidget *row : std::as_const(m_languageRows)) {
        row->hide();
        row->deleteLater();
    }
    m_languageRows.clear();
    const QStringList languages = m_services.preferences.recognitionLanguages();
    if (m_isUsingList) {
        int index = m_languages->indexOfRow(m_addRow);
        for (const QString &language : languages) {
            m_languageRows << m_languages->insertRow(
                index++, LanguageNames::displayName(language, m_services.locale), {},
                languageRowControls(language, languages));
        }
    }
    m_addRow->setVisible(m_isUsingList);

    // The add picker offers the installed languages not yet listed, then the others; never a
    // second name for a language already listed. "Choose…" picks nothing.
    const QString chosen = m_addPicker->currentData().toString();
    const QSignalBlocker blocker(m_addPicker);
    m_addPicker->clear();
    m_addPicker->addItem(QStringLiteral("Choose…"), QString());
    for (const QString &language : m_supported) {
        if (!LanguagePacks::readsLikeAnyOf(language, languages)) {
            m_addPicker->addItem(LanguageNames::displayName(language, m_services.locale), language);
        }
    }
    if (m_hasLoaded) {
        bool isFirst = true;
        for (const LanguagePacks::LanguagePack &pack : LanguagePacks::all(m_supported)) {
            if (pack.isInstalled || LanguagePacks::readsLikeAnyOf(pack.tag, languages)) {
                continue;
            }
            if (std::exchange(isFirst, false)) {
                m_addPicker->insertSeparator(m_addPicker->count());
            }
            m_addPicker->addItem(LanguageNames::displayName(pack.tag, m_services.locale) +
                                     QStringLiteral(" (not installed)"),
                                 pack.tag);
        }
    }
    m_addPicker->setCurrentIndex(std::max(0, m_addPicker->findData(chosen)));
    updateAddRow();
}

QWidget *RecognitionPage::languageRowControls(const QString &language, const QStringList &languages)
{
    auto *controls = new QWidget;
    auto *layout = new QHBoxLayout(controls);
    layout->setContentsMargins(0, 0, 0, 0);
    // Until the installed languages are known, nothing is said about them.
    if (m_hasLoaded && !LanguagePacks::readsLikeAnyOf(language, m_supported)) {
        auto *missing = new QLabel(QStringLiteral("Not installed"));
        missing->setObjectName(QStringLiteral("notInstalled"));
        QPalette colors = missing->palette();
        colors.setColor(QPalette::WindowText, SettingsIcon::orange.darker(120));
        missing->setPalette(colors);
        layout->addWidget(missing, 0, Qt::AlignVCenter);
        if (LanguagePacks::packageFor(language)) {
            auto *install = new QPushButton(QStringLiteral("Install"));
            install->setObjectName(QStringLiteral("installButton"));
            install->setAccessibleName(QStringLiteral("Install ") + language);
            connect(install, &QPushButton::clicked, this,
                    [this, language] { m_packRows->requestInstall(language); });
            layout->addWidget(install, 0, Qt::AlignVCenter);
        }
    }
    auto *remove = new QPushButton;
    remove->setFlat(true);
    remove->setIcon(bundledSymbolIcon(Symbol::remove, SettingsIcon::red));
    remove->setIconSize(QSize(16, 16));
    remove->setToolTip(QStringLiteral("Remove"));
    remove->setAccessibleName(QStringLiteral("Remove ") + language);
    remove->setObjectName(QStringLiteral("removeButton"));
    remove->setEnabled(languages.size() >= 2);
    connect(remove, &QPushButton::clicked, this, [this, language] {
        QStringList kept = m_services.preferences.recognitionLanguages();
        kept.removeAll(language);
        m_services.preferences.setRecognitionLanguages(kept);
    });
    layout->addWidget(remove, 0, Qt::AlignVCenter);
    return controls;
}

QList<QPushButton *> RecognitionPage::removeButtons() const
{
    QList<QPushButton *> buttons;
    for (QWidget *row : m_languageRows) {
        buttons << row->findChild<QPushButton *>(QStringLiteral("removeButton"));
    }
    return buttons;
}

QList<QPushButton *> RecognitionPage::installButtons() const
{
    QList<QPushButton *> buttons;
    for (QWidget *row : m_languageRows) {
        if (auto *install = row->findChild<QPushButton *>(QStringLiteral("installButton"))) {
            buttons << install;
        }
    }
    return buttons;
}

void RecognitionPage::updateAddRow()
{
    m_addPicker->setEnabled(!m_supported.isEmpty());
    m_addButton->setEnabled(!m_supported.isEmpty() &&
                            !m_addPicker->currentData().toString().isEmpty());
}

void RecognitionPage::addChosenLanguage()
{
    const QString language = m_addPicker->currentData().toString();
    if (language.isEmpty()) {
        return;
    }
    m_addPicker->setCurrentIndex(0);
    m_services.preferences.setRecognitionLanguages(m_services.preferences.recognitionLanguages()
                                                   << language);
}
