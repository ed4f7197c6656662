// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Settings/Preferences.h"

#include "KeloPlatform/LoginItem.h"

#include <QLoggingCategory>
#include <QSettings>

namespace {

Q_LOGGING_CATEGORY(lcSettings, "kelolens.settings")

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

bool isString(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

// The settings file stores everything as text, and a hand-edited file may hold anything: only
// the stored forms of true and false count, other values keep the default.
std::optional<bool> boolFromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong() != 0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed().toLower();
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
QStringList stringListFromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return value.toStringList();
    case QMetaType::QString: {
        const QString text = value.toString();
        return text.isEmpty() ? QStringList() : QStringList{text};
    }
    case QMetaType::QVariantList: {
        QStringList list;
        for (const QVariant &element : value.toList()) {
            if (!isString(element)) {
                return {};
            }
            list.append(element.toString());
        }
        return list;
    }
    default:
        return {};
    }
}

HotKeyCombo hotKeyFromVariant(const QVariant &value)
{
    if (value.typeId() != QMetaType::QByteArray && !isString(value)) {
        return HotKeyCombo::defaultCombo();
    }
    return HotKeyCombo::fromJson(value.toByteArray()).value_or(HotKeyCombo::defaultCombo());
}

} // namespace

Preferences::Preferences(QSettings *settings, KeloPlatform::LoginItem *loginItem, QObject *parent)
    : QObject(parent), m_settings(settings), m_loginItem(loginItem)
{
    m_hotKey = hotKeyFromVariant(m_settings->value(key(hotKeyKey)));
    m_playSound = readBool(playSoundKey, false);
    m_showPanel = readBool(showPanelKey, true);
    const QVariant position = m_settings->value(key(panelPositionKey));
    m_panelPosition = isString(position) && position.toString() == rawValue(PanelPosition::fixed)
                          ? PanelPosition::fixed
                          : PanelPosition::nearSelection;
    m_recognitionLanguages = stringListFromVariant(m_settings->value(key(recognitionLanguagesKey)));
    const QVariant lineBreaks = m_settings->value(key(lineBreaksKey));
    m_lineBreaks =
        isString(lineBreaks) && lineBreaks.toString() == rawValue(LineBreakMode::joinParagraphs)
            ? LineBreakMode::joinParagraphs
            : LineBreakMode::keepLines;
    m_stripHyphenation = readBool(stripHyphenationKey, true);
    m_detectBarcodes = readBool(detectBarcodesKey, true);
    m_hasCompletedOnboarding = readBool(hasCompletedOnboardingKey, false);
    m_launchAtLogin = m_loginItem != nullptr && m_loginItem->isEnabled();
}

Preferences::~Preferences() = default;

std::unique_ptr<QSettings> Preferences::openUserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("KeloLens"), QStringLiteral("KeloLens"));
}

bool Preferences::readBool(const char *name, bool fallback) const
{
    return boolFromVariant(m_settings->value(key(name))).value_or(fallback);
}

void Preferences::write(const char *name, const QVariant &value)
{
    m_settings->setValue(key(name), value);
    m_settings->sync();
    // The value in memory applies for this run either way. The status keeps its first error, so a
    // file that cannot be written is reported once, not at every change.
    if (m_settings->status() == QSettings::AccessError && !m_hasReportedWriteFailure) {
        m_hasReportedWriteFailure = true;
        qCWarning(lcSettings).noquote()
            << QStringLiteral("KeloLens: settings could not be saved to %1; changes last until "
                              "KeloLens quits")
                   .arg(m_settings->fileName());
    }
}

template <typename T, typename Signal>
void Preferences::assign(T &field, const T &value, const char *key, const QVariant &stored,
                         Signal signal)
{
    const bool changed = value != field;
    field = value;
    write(key, stored);
    if (changed) {
        Q_EMIT(this->*signal)(field);
    }
}

void Preferences::setHotKey(const HotKeyCombo &combo)
{
    m_hotKey = combo;
    write(hotKeyKey, combo.toJson());
    Q_EMIT hotKeyChanged(m_hotKey);
}

void Preferences::setPlaySound(bool value)
{
    assign(m_playSound, value, playSoundKey, value, &Preferences::playSoundChanged);
}

void Preferences::setShowPanel(bool value)
{
    assign(m_showPanel, value, showPanelKey, value, &Preferences::showPanelChanged);
}

void Preferences::setPanelPosition(PanelPosition value)
{
    assign(m_panelPosition, value, panelPositionKey, rawValue(value),
           &Preferences::panelPositionChanged);
}

void Preferences::setRecognitionLanguages(const QStringList &value)
{
    assign(m_recognitionLanguages, value, recognitionLanguagesKey, value,
           &Preferences::recognitionLanguagesChanged);
}

void Preferences::setLineBreaks(LineBreakMode value)
{
    assign(m_lineBreaks, value, lineBreaksKey, rawValue(value), &Preferences::lineBreaksChanged);
}

void Preferences::setStripHyphenation(bool value)
{
    assign(m_stripHyphenation, value, stripHyphenationKey, value,
           &Preferences::stripHyphenationChanged);
}

void Preferences::setDetectBarcodes(bool value)
{
    assign(m_detectBarcodes, value, detectBarcodesKey, value, &Preferences::detectBarcodesChanged);
}

void Preferences::setHasCompletedOnboarding(bool value)
{
    assign(m_hasCompletedOnboarding, value, hasCompletedOnboardingKey, value,
           &Preferences::hasCompletedOnboardingChanged);
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
