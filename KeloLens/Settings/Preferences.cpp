// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Settings/Preferences.h"

#include "KeloPlatform/LoginItem.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>

#include <optional>
#include <type_traits>

namespace {

Q_LOGGING_CATEGORY(lcSettings, "kelolens.settings")

using Setting = Preferences::Setting;

bool isString(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

// How one type of setting is kept in the settings file. The file stores everything as text and a
// hand-edited one may hold anything, so reading validates: absent means garbled, and the default
// applies.
struct StoredForm
{
    std::optional<QVariant> (*read)(const QVariant &stored);
    QVariant (*write)(const QVariant &value);
};

QVariant storedAsIs(const QVariant &value)
{
    return value;
}

// Only the stored forms of true and false count.
std::optional<QVariant> readBoolean(const QVariant &stored)
{
    switch (stored.typeId()) {
    case QMetaType::Bool:
        return stored.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return stored.toLongLong() != 0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = stored.toString().trimmed().toLower();
        if (text == u"true" || text == u"yes" || text == u"1") {
            return true;
        }
        if (text == u"false" || text == u"no" || text == u"0") {
            return false;
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// A list written by QSettings comes back as a list, except that a one-element list reads back
// as a plain string; a list holding anything but strings counts as no list.
std::optional<QVariant> readStringList(const QVariant &stored)
{
    switch (stored.typeId()) {
    case QMetaType::QStringList:
        return stored;
    case QMetaType::QString: {
        const QString text = stored.toString();
        return QVariant(text.isEmpty() ? QStringList() : QStringList{text});
    }
    case QMetaType::QVariantList: {
        QStringList list;
        for (const QVariant &element : stored.toList()) {
            if (!isString(element)) {
                return std::nullopt;
            }
            list.append(element.toString());
        }
        return QVariant(list);
    }
    default:
        return std::nullopt;
    }
}

std::optional<QVariant> readShortcut(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QByteArray && !isString(stored)) {
        return std::nullopt;
    }
    const std::optional<HotKeyCombo> combo = HotKeyCombo::fromJson(stored.toByteArray());
    return combo ? std::optional(QVariant::fromValue(*combo)) : std::nullopt;
}

QVariant writeShortcut(const QVariant &value)
{
    return value.value<HotKeyCombo>().toJson();
}

// One of an enumeration's cases, stored as its raw value; any other string (even one differing
// only in case) is garbled.
template <typename Enum, QList<Enum> (*allCases)()>
std::optional<QVariant> readChoice(const QVariant &stored)
{
    if (isString(stored)) {
        for (const Enum choice : allCases()) {
            if (rawValue(choice) == stored.toString()) {
                return QVariant::fromValue(choice);
            }
        }
    }
    return std::nullopt;
}

template <typename Enum> QVariant writeChoice(const QVariant &value)
{
    return rawValue(value.value<Enum>());
}

constexpr StoredForm boolean{readBoolean, storedAsIs};
constexpr StoredForm stringList{readStringList, storedAsIs};
constexpr StoredForm shortcut{readShortcut, writeShortcut};
template <typename Enum, QList<Enum> (*allCases)()>
constexpr StoredForm choice{readChoice<Enum, allCases>, writeChoice<Enum>};

// Emits a typed change signal with the value it carries.
template <typename Signal> struct SignalValue;
template <typename Value> struct SignalValue<void (Preferences::*)(Value)>
{
    using type = std::remove_cvref_t<Value>;
};
template <auto signal> void notify(Preferences &preferences, const QVariant &value)
{
    Q_EMIT(preferences.*signal)(value.value<typename SignalValue<decltype(signal)>::type>());
}

struct SettingRow
{
    Setting setting;
    // The key in the settings file: stored files rely on it, so it never changes.
    const char *key;
    QVariant defaultValue;
    StoredForm form;
    void (*notify)(Preferences &, const QVariant &);
    bool notifiesEverySet = false;
};

const std::array<SettingRow, Preferences::settingCount> &settingsTable()
{
    using P = Preferences;
    static const std::array<SettingRow, Preferences::settingCount> table{{
        {Setting::hotKey, "hotKey", QVariant::fromValue(HotKeyCombo::defaultCombo()), shortcut,
         notify<&P::hotKeyChanged>, true},
        {Setting::playSound, "playSound", false, boolean, notify<&P::playSoundChanged>},
        {Setting::showPanel, "showPanel", true, boolean, notify<&P::showPanelChanged>},
        {Setting::panelPosition, "panelPosition", QVariant::fromValue(PanelPosition::nearSelection),
         choice<PanelPosition, allPanelPositions>, notify<&P::panelPositionChanged>},
        {Setting::recognitionLanguages, "recognitionLanguages", QStringList(), stringList,
         notify<&P::recognitionLanguagesChanged>},
        {Setting::lineBreaks, "lineBreaks", QVariant::fromValue(LineBreakMode::keepLines),
         choice<LineBreakMode, allLineBreakModes>, notify<&P::lineBreaksChanged>},
        {Setting::stripHyphenation, "stripHyphenation", true, boolean,
         notify<&P::stripHyphenationChanged>},
        {Setting::detectBarcodes, "detectBarcodes", true, boolean,
         notify<&P::detectBarcodesChanged>},
        {Setting::hasCompletedOnboarding, "hasCompletedOnboarding", false, boolean,
         notify<&P::hasCompletedOnboardingChanged>},
    }};
    return table;
}

const SettingRow &rowOf(Setting setting)
{
    for (const SettingRow &row : settingsTable()) {
        if (row.setting == setting) {
            return row;
        }
    }
    Q_UNREACHABLE();
}

} // namespace

Preferences::Preferences(QSettings *settings, KeloPlatform::LoginItem *loginItem, QObject *parent)
    : QObject(parent), m_settings(settings), m_loginItem(loginItem)
{
    for (const SettingRow &row : settingsTable()) {
        m_values.at(indexOf(row.setting)) =
            row.form.read(m_settings->value(row.key)).value_or(row.defaultValue);
    }
    m_launchAtLogin = m_loginItem != nullptr && m_loginItem->isEnabled();
}

Preferences::~Preferences() = default;

std::unique_ptr<QSettings> Preferences::openUserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("KeloLens"), QStringLiteral("KeloLens"));
}

void Preferences::setValue(Setting setting, const QVariant &value)
{
    const SettingRow &row = rowOf(setting);
    QVariant &current = m_values.at(indexOf(setting));
    const bool isChange = current != value;
    current = value;
    write(row.key, row.form.write(value));
    if (isChange || row.notifiesEverySet) {
        row.notify(*this, value);
    }
}

void Preferences::write(const char *key, const QVariant &stored)
{
    m_settings->setValue(key, stored);
    m_settings->sync();
    // The value in memory applies for this run either way, and a file that cannot be written is
    // reported once, not at every change.
    if (!isSaved() && !m_hasReportedWriteFailure) {
        m_hasReportedWriteFailure = true;
        qCWarning(lcSettings).noquote()
            << QStringLiteral("KeloLens: settings could not be saved to %1; changes last until "
                              "KeloLens quits")
                   .arg(m_settings->fileName());
    }
}

bool Preferences::isSaved() const
{
    switch (m_settings->status()) {
    case QSettings::NoError:
        return true;
    case QSettings::AccessError:
        return false;
    case QSettings::FormatError:
        break;
    }
    // The status keeps only its first error: after a file that could not be read it never says
    // that a write failed, so ask the file system whether the write could have worked.
    const QFileInfo file(m_settings->fileName());
    if (file.exists()) {
        return file.isFile() && file.isWritable();
    }
    const QFileInfo folder(file.absolutePath());
    return folder.isDir() && folder.isWritable();
}

void Preferences::setLaunchAtLogin(bool value)
{
    if (value == m_launchAtLogin) {
        return;
    }
    m_launchAtLogin = value;
    if (m_loginItem != nullptr) {
        // The switch keeps showing what the user asked for; the failure is only logged.
        if (const std::optional<QString> error = m_loginItem->setEnabled(value)) {
            qCWarning(lcSettings).noquote() << "KeloLens: launch at login change failed: " + *error;
        }
    }
    Q_EMIT launchAtLoginChanged(value);
}
