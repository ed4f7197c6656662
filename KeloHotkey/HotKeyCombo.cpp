// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/HotKeyCombo.h"

#include "KeloHotkey/KeyboardLayout.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

namespace {

std::optional<uint32_t> unsigned32(const QJsonValue &value)
{
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double d = value.toDouble();
    if (!(d >= 0 && d <= 4294967295.0) || std::floor(d) != d) {
        return std::nullopt;
    }
    return uint32_t(d);
}

// Key codes beyond 16 bits come only from a hand-edited setting; truncating them would name a
// different key, so they keep their number.
QString keyName(const KeyboardLayout &layout, uint32_t keyCode)
{
    if (keyCode > 0xffff) {
        return QStringLiteral("#") + QString::number(keyCode);
    }
    return layout.displayName(uint16_t(keyCode));
}

} // namespace

QStringList HotKeyCombo::keys(const KeyboardLayout &layout, ShortcutStyle style) const
{
    struct Modifier
    {
        uint32_t bit;
        const char16_t *text;
    };
    static constexpr Modifier names[] = {
        {command, u"Ctrl"}, {option, u"Alt"}, {shift, u"Shift"}, {control, u"Super"}};
    static constexpr Modifier symbols[] = {
        {control, u"⌃"}, {option, u"⌥"}, {shift, u"⇧"}, {command, u"⌘"}};
    QStringList pieces;
    for (const Modifier &modifier : style == ShortcutStyle::names ? names : symbols) {
        if ((modifiers & modifier.bit) != 0) {
            pieces.append(QString::fromUtf16(modifier.text));
        }
    }
    pieces.append(keyName(layout, keyCode));
    return pieces;
}

QString HotKeyCombo::displayString(const KeyboardLayout &layout, ShortcutStyle style) const
{
    return keys(layout, style)
        .join(style == ShortcutStyle::names ? QStringLiteral("+") : QString());
}

uint32_t HotKeyCombo::carbonFlags(Qt::KeyboardModifiers qtModifiers)
{
    uint32_t flags = 0;
    if (qtModifiers.testFlag(Qt::ControlModifier)) {
        flags |= command;
    }
    if (qtModifiers.testFlag(Qt::ShiftModifier)) {
        flags |= shift;
    }
    if (qtModifiers.testFlag(Qt::AltModifier)) {
        flags |= option;
    }
    if (qtModifiers.testFlag(Qt::MetaModifier)) {
        flags |= control;
    }
    return flags;
}

QByteArray HotKeyCombo::toJson() const
{
    const QJsonObject object{{QStringLiteral("keyCode"), qint64(keyCode)},
                             {QStringLiteral("modifiers"), qint64(modifiers)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<HotKeyCombo> HotKeyCombo::fromJson(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const std::optional<uint32_t> keyCode = unsigned32(object.value(QStringLiteral("keyCode")));
    const std::optional<uint32_t> modifiers = unsigned32(object.value(QStringLiteral("modifiers")));
    if (!keyCode || !modifiers) {
        return std::nullopt;
    }
    return HotKeyCombo{*keyCode, *modifiers};
}
