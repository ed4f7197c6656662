// SPDX-License-Identifier: GPL-3.0-or-later
// Rows, paragraphs and the assembled text over any set of lines: boxes of any size and place
// (NaN, infinities, negative heights) and any text.
#include "FuzzSupport.h"
#include "KeloLens/Recognition/TextAssembly.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<RecognizedLine> lines = FuzzSupport::lines(data, size);
    const QList<RecognizedLine> rows = groupRows(lines);
    const QList<Paragraph> paragraphs = groupParagraphs(lines);
    KELO_FUZZ_EXPECT(rows.size() <= lines.size());
    KELO_FUZZ_EXPECT(lines.isEmpty() == rows.isEmpty());

    // Every row lands in exactly one paragraph, and no text is made up on the way.
    qsizetype paragraphLines = 0;
    qsizetype inputSize = 0;
    for (const Paragraph &paragraph : paragraphs) {
        KELO_FUZZ_EXPECT(!paragraph.lines.isEmpty());
        paragraphLines += paragraph.lines.size();
    }
    for (const RecognizedLine &line : lines) {
        inputSize += line.text.size() + 1;
    }
    KELO_FUZZ_EXPECT(paragraphLines == rows.size());
    for (const LineBreakMode mode : {LineBreakMode::keepLines, LineBreakMode::joinParagraphs}) {
        for (const bool strip : {false, true}) {
            const QString text = assembleText(paragraphs, mode, strip);
            KELO_FUZZ_EXPECT(text.size() <= inputSize + 2 * paragraphs.size());
        }
    }
    return 0;
}
