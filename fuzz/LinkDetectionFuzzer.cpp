// SPDX-License-Identifier: GPL-3.0-or-later
// Link and e-mail address detection over any text, as the results panel runs it on what was
// recognized.
#include "FuzzSupport.h"
#include "KeloLens/Results/LinkDetector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = FuzzSupport::text(data, size);
    qsizetype end = 0;
    for (const LinkMatch &link : LinkDetector::find(text)) {
        // In text order, inside the text, never overlapping, and a URL that opens.
        KELO_FUZZ_EXPECT(link.start >= end && link.length > 0);
        KELO_FUZZ_EXPECT(link.start + link.length <= text.size());
        KELO_FUZZ_EXPECT(link.url.isValid() && !link.url.scheme().isEmpty());
        end = link.start + link.length;
    }
    return 0;
}
