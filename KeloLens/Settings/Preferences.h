// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloHotkey/HotKeyCombo.h"
#include "KeloLens/Recognition/LineBreakMode.h"
#include "KeloLens/Settings/PanelPosition.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <array>
#include <memory>

namespace KeloPlatform {
class LoginItem;
}
class QSettings;

// The user's settings: read once at construction, kept in memory, and written back the moment
// each one is set (there is no save step). One table in Preferences.cpp says, for every stored
// setting, its key, its default and how its stored form is read and written; defaults live there
// only, and an empty settings file stays empty until the user changes something. A stored value
// that is garbled or out of range reads as the default and stays in the file until it is set.
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
    // The stored settings, each stored under its own name.
    enum class Setting {
        hotKey,
        playSound,
        showPanel,
        panelPosition,
        recognitionLanguages,
        lineBreaks,
        stripHyphenation,
        detectBarcodes,
        hasCompletedOnboarding
    };
    static constexpr std::size_t settingCount = 9;
    static_assert(std::size_t(Setting::hasCompletedOnboarding) + 1 == settingCount);

    // Over any settings store, which must outlive this object. The login item is touched only
    // when one is given: the application passes its platform's, others (tests, a separate
    // settings file) pass none and then launchAtLogin starts false and only changes in memory.
    explicit Preferences(QSettings *settings, KeloPlatform::LoginItem *loginItem = nullptr,
                         QObject *parent = nullptr);
    ~Preferences() override;

    // The user's settings file, ~/.config/KeloLens/KeloLens.conf.
    [[nodiscard]] static std::unique_ptr<QSettings> openUserSettings();

    [[nodiscard]] QSettings *settings() const { return m_settings; }

    // The setting's value, of the type its typed getter returns.
    [[nodiscard]] QVariant value(Setting setting) const { return m_values.at(indexOf(setting)); }

    [[nodiscard]] HotKeyCombo hotKey() const { return get<HotKeyCombo>(Setting::hotKey); }
    [[nodiscard]] bool playSound() const { return get<bool>(Setting::playSound); }
    [[nodiscard]] bool showPanel() const { return get<bool>(Setting::showPanel); }
    [[nodiscard]] PanelPosition panelPosition() const
    {
        return get<PanelPosition>(Setting::panelPosition);
    }
    [[nodiscard]] QStringList recognitionLanguages() const
    {
        return get<QStringList>(Setting::recognitionLanguages);
    }
    [[nodiscard]] LineBreakMode lineBreaks() const
    {
        return get<LineBreakMode>(Setting::lineBreaks);
    }
    [[nodiscard]] bool stripHyphenation() const { return get<bool>(Setting::stripHyphenation); }
    [[nodiscard]] bool detectBarcodes() const { return get<bool>(Setting::detectBarcodes); }
    [[nodiscard]] bool hasCompletedOnboarding() const
    {
        return get<bool>(Setting::hasCompletedOnboarding);
    }
    // Not stored: the state of the platform's login item.
    [[nodiscard]] bool launchAtLogin() const { return m_launchAtLogin; }

    void setHotKey(const HotKeyCombo &combo) { set(Setting::hotKey, combo); }
    void setPlaySound(bool value) { set(Setting::playSound, value); }
    void setShowPanel(bool value) { set(Setting::showPanel, value); }
    void setPanelPosition(PanelPosition value) { set(Setting::panelPosition, value); }
    void setRecognitionLanguages(const QStringList &value)
    {
        set(Setting::recognitionLanguages, value);
    }
    void setLineBreaks(LineBreakMode value) { set(Setting::lineBreaks, value); }
    void setStripHyphenation(bool value) { set(Setting::stripHyphenation, value); }
    void setDetectBarcodes(bool value) { set(Setting::detectBarcodes, value); }
    void setHasCompletedOnboarding(bool value) { set(Setting::hasCompletedOnboarding, value); }
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
    [[nodiscard]] static std::size_t indexOf(Setting setting) { return std::size_t(setting); }
    template <typename T> [[nodiscard]] T get(Setting setting) const
    {
        return m_values.at(indexOf(setting)).template value<T>();
    }
    template <typename T> void set(Setting setting, const T &value)
    {
        setValue(setting, QVariant::fromValue(value));
    }
    void setValue(Setting setting, const QVariant &value);
    void write(const char *key, const QVariant &stored);
    // Whether the last write reached the file.
    [[nodiscard]] bool isSaved() const;

    QSettings *m_settings;
    KeloPlatform::LoginItem *m_loginItem;
    std::array<QVariant, settingCount> m_values;
    bool m_launchAtLogin = false;
    bool m_hasReportedWriteFailure = false;
};
