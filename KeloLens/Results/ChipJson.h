// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Results/Chip.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>

// Chips as JSON for command-line tools: {"id": ..., "label": ..., "badge": ..., "kind": ...}
// with kind "link", "email", "phone" or "code".
[[nodiscard]] QJsonObject chipToJson(const Chip &chip);
// One compact JSON object per chip, each followed by a line feed.
[[nodiscard]] QByteArray chipsToJsonLines(const QList<Chip> &chips);
