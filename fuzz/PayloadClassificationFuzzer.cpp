// SPDX-License-Identifier: GPL-3.0-or-later
// Classification of a code's payload, and what the results panel reads from a classified code.
#include "FuzzSupport.h"
#include "KeloLens/Recognition/PayloadClassification.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString payload = FuzzSupport::text(data, size);
    const CodeKind kind = classifyPayload(payload);
    KELO_FUZZ_EXPECT(classifyPayload(payload) == kind);
    if (kind == CodeKind::url) {
        // A web link must open as one.
        const QUrl url(payload, QUrl::StrictMode);
        KELO_FUZZ_EXPECT(url.isValid() && !url.host().isEmpty());
    }
    const DetectedCode code{QStringLiteral("QR"), payload, kind};
    const std::optional<WifiCredentials> credentials = code.wifiCredentials();
    KELO_FUZZ_EXPECT(!credentials || kind == CodeKind::wifi);
    KELO_FUZZ_EXPECT(qHash(code) == qHash(DetectedCode(code)));
    return 0;
}
