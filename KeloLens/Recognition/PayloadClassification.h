// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QString>

#include <optional>

// What a code's payload is: a Wi-Fi network, a contact card, a web link or plain text.
[[nodiscard]] CodeKind classifyPayload(const QString &payload);

// The network name and password of a "WIFI:" payload; absent unless kind is wifi and the payload
// names a network.
[[nodiscard]] std::optional<WifiCredentials> wifiCredentials(const QString &payload, CodeKind kind);
