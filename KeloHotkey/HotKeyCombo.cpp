#include "KeloHotkey/HotKeyCombo.h"

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

} // namespace

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
