// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/RecognitionModel.h"

#include "KeloLens/Recognition/PayloadClassification.h"

QString rawName(CodeKind kind)
{
    switch (kind) {
    case CodeKind::url:
        return QStringLiteral("url");
    case CodeKind::wifi:
        return QStringLiteral("wifi");
    case CodeKind::contact:
        return QStringLiteral("contact");
    case CodeKind::text:
        return QStringLiteral("text");
    }
    return {};
}

std::optional<WifiCredentials> DetectedCode::wifiCredentials() const
{
    return ::wifiCredentials(payload, kind);
}

size_t qHash(const DetectedCode &code, size_t seed) noexcept
{
    return qHashMulti(seed, code.symbology, code.payload, int(code.kind));
}
