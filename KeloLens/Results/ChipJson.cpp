// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ChipJson.h"

#include <QJsonDocument>

QJsonObject chipToJson(const Chip &chip)
{
    return QJsonObject{
        {QStringLiteral("id"), chip.id},
        {QStringLiteral("label"), chip.label},
        {QStringLiteral("badge"), chip.badge},
        {QStringLiteral("kind"), chip.kind.name()},
    };
}

QByteArray chipsToJsonLines(const QList<Chip> &chips)
{
    QByteArray out;
    for (const Chip &chip : chips) {
        out += QJsonDocument(chipToJson(chip)).toJson(QJsonDocument::Compact);
        out += '\n';
    }
    return out;
}
