// SPDX-License-Identifier: GPL-3.0-or-later
// The Wi-Fi field parser over any payload: it reads escapes and field separators character by
// character, so malformed escapes, stray separators and combining marks are its risky inputs.
#include "FuzzSupport.h"
#include "KeloLens/Recognition/PayloadClassification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString payload = FuzzSupport::text(data, size);
    const std::optional<WifiCredentials> credentials = wifiCredentials(payload, CodeKind::wifi);
    if (credentials) {
        // The fields are cut out of the payload, escapes removed, never invented.
        KELO_FUZZ_EXPECT(!credentials->ssid.isEmpty());
        KELO_FUZZ_EXPECT(credentials->ssid.size() < payload.size());
        KELO_FUZZ_EXPECT(
            !credentials->password ||
            (!credentials->password->isEmpty() && credentials->password->size() < payload.size()));
    }
    KELO_FUZZ_EXPECT(!wifiCredentials(payload, CodeKind::text));
    return 0;
}
