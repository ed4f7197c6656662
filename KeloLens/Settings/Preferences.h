// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloHotkey/HotKeyCombo.h"
#include "KeloLens/Recognition/LineBreakMode.h"
#include "KeloLens/Settings/PanelPosition.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace KeloPlatform {
class LoginItem;
}
class QSettings;

// The user's settings: read once at construction, kept in memory, and written back the moment
// each one is set (there is no save step). Defaults live in this class only; an empty settings
// file stays empty until the user changes something.
//
// Each property's signal fires only when the value changes, with one exception: hotKeyChanged
// fires on every set of the shortcut, changed or not, because whoever owns the global
// registration redoes it then (a shortcut set again after another application freed it can now
// be taken). Every set writes, even an unchanged one. A settings file that cannot be written is
// logged once; the values set still apply until the process ends.
class Preferences : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool playSound READ playSound WRITE setPlaySound NOTIFY playSoundChanged)
    Q_PROPERTY(bool showPanel READ showPanel WRITE setShowPanel NOTIFY showPanelChanged)
    Q_PROPERTY(QStringList recognitionLanguages READ recognitionLanguages WRITE
                   setRecognitionLanguages NOTIFY recognitionLanguagesChanged)
    Q_PROPERTY(bool stripHyphenation READ stripHyphenation WRITE setStripHyphenation NOTIFY
                   stripHyphenationChanged)
    Q_PROPERTY(bool detectBarcodes READ detectBarcodes WRITE setDetectBarcodes NOTIFY
                   detectBarcodesChanged)
    Q_PROPERTY(bool hasCompletedOnboarding READ hasCompletedOnboarding WRITE
                   setHasCompletedOnboarding NOTIFY hasCompletedOnboardingChanged)
    Q_PROPERTY(
        bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)

public:
    // The stored keys, equal to the property names.
    static constexpr auto hotKeyKey = "hotKey";
    static constexpr auto playSoundKey = "playSound";
    static constexpr auto showPanelKey = "showPanel";
    static constexpr auto panelPositionKey = "panelPosition";
    static constexpr auto recognitionLanguagesKey = "recognitionLanguages";
    static constexpr auto lineBreaksKey = "lineBreaks";
    static constexpr auto stripHyphenationKey = "stripHyphenation";
    static constexpr auto detectBarcodesKey = "detectBarcodes";
    static constexpr auto hasCompletedOnboardingKey = "hasCompletedOnboarding";

    // Over any settings store, which must outlive this object. The login item is touched only
    // when one is given: the application passes its platform's, others (tests, a separate
    // settings file) pass none and then launchAtLogin starts false and only changes in memory.
    explicit Preferences(QSettings *settings, KeloPlatform::LoginItem *loginItem = nullptr,
                         QObject *parent = nullptr);
    ~Preferences() override;

    // The user's settings file, ~/.config/KeloLens/KeloLens.conf.
    [[nodiscard]] static std::unique_ptr<QSettings> openUserSettings();

    [[nodiscard]] QSettings *settings() const { return m_settings; }

    [[nodiscard]] HotKeyCombo hotKey() const { return m_hotKey; }
    [[nodiscard]] bool playSound() const { return m_playSound; }
    [[nodiscard]] bool showPanel() const { return m_showPanel; }
    [[nodiscard]] PanelPosition panelPosition() const { return m_panelPosition; }
    [[nodiscard]] QStringList recognitionLanguages() const { return m_recognitionLanguages; }
    [[nodiscard]] LineBreakMode lineBreaks() const { return m_lineBreaks; }
    [[nodiscard]] bool stripHyphenation() const { return m_stripHyphenation; }
    [[nodiscard]] bool detectBarcodes() const { return m_detectBarcodes; }
    [[nodiscard]] bool hasCompletedOnboarding() const { return m_hasCompletedOnboarding; }
    [[nodiscard]] bool launchAtLogin() const { return m_launchAtLogin; }

    void setHotKey(const HotKeyCombo &combo);
    void setPlaySound(bool value);
    void setShowPanel(bool value);
    void setPanelPosition(PanelPosition value);
    void setRecognitionLanguages(const QStringList &value);
    void setLineBreaks(LineBreakMode value);
    void setStripHyphenation(bool value);
    void setDetectBarcodes(bool value);
    void setHasCompletedOnboarding(bool value);
    void setLaunchAtLogin(bool value);

Q_SIGNALS:
    // On every set; see above.
    void hotKeyChanged(const HotKeyCombo &combo);
    void playSoundChanged(bool value);
    void showPanelChanged(bool value);
    void panelPositionChanged(PanelPosition value);
    void recognitionLanguagesChanged(const QStringList &value);
    void lineBreaksChanged(LineBreakMode value);
    void stripHyphenationChanged(bool value);
    void detectBarcodesChanged(bool value);
    void hasCompletedOnboardingChanged(bool value);
    void launchAtLoginChanged(bool value);

private:
    void write(const char *key, const QVariant &value);
    // Stores the value and writes its stored form, always; notifies only when it changed.
    template <typename T, typename Signal>
    void assign(T &field, const T &value, const char *key, const QVariant &stored, Signal signal);
    [[nodiscard]] bool readBool(const char *key, bool fallback) const;

    QSettings *m_settings;
    KeloPlatform::LoginItem *m_loginItem;
    HotKeyCombo m_hotKey;
    bool m_playSound = false;
    bool m_showPanel = true;
    PanelPosition m_panelPosition = PanelPosition::nearSelection;
    QStringList m_recognitionLanguages;
    LineBreakMode m_lineBreaks = LineBreakMode::keepLines;
    bool m_stripHyphenation = true;
    bool m_detectBarcodes = true;
    bool m_hasCompletedOnboarding = false;
    bool m_launchAtLogin = false;
    bool m_hasReportedWriteFailure = false;
};
