// SPDX-License-Identifier: GPL-3.0-or-later
// Phone number detection over any text, together with the links it must not overlap, as the
// results panel runs it on what was recognized. The phone matcher is slow, so links get a target
// of their own as well.
#include "FuzzSupport.h"
#include "KeloLens/Results/DataDetector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Phone numbers are read in the region named by the first byte, so several numbering plans
    // get their share.
    static const DataDetector detectors[] = {DataDetector(QStringLiteral("US")),
                                             DataDetector(QStringLiteral("DE")),
                                             DataDetector(QStringLiteral("JP"))};
    if (size == 0) {
        return 0;
    }
    const DataDetector &detector = detectors[data[0] % std::size(detectors)];
    const QString text = FuzzSupport::text(data + 1, size - 1);

    qsizetype end = 0;
    for (const DataDetectorMatch &match : detector.matches(text)) {
        // In text order, inside the text, never overlapping, and carrying what its type needs.
        KELO_FUZZ_EXPECT(match.start >= end && match.length > 0);
        KELO_FUZZ_EXPECT(match.start + match.length <= text.size());
        if (match.type == DataDetectorMatch::Type::link) {
            KELO_FUZZ_EXPECT(match.url && match.url->isValid());
        } else {
            KELO_FUZZ_EXPECT(match.phoneNumber && !match.phoneNumber->isEmpty());
        }
        end = match.start + match.length;
    }
    return 0;
}
