// SPDX-License-Identifier: GPL-3.0-or-later
// A capture file as the region tool could leave it, decoded the way the capturer decodes it,
// then read by both recognition passes.
#include "FuzzSupport.h"
#include "KeloLens/Recognition/Recognizer.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>

namespace {

// Larger pictures decode all the same, but reading them takes seconds and would leave the
// fuzzer few runs; a full-screen capture is covered by the benchmarks.
constexpr qint64 maxRecognizedPixels = 1024 * 768;

bool isNormalized(const ExactRect &box)
{
    const double slack = 1e-6;
    return std::isfinite(box.x) && std::isfinite(box.y) && box.x >= -slack && box.y >= -slack &&
           box.width >= 0 && box.height >= 0 && box.x + box.width <= 1 + slack &&
           box.y + box.height <= 1 + slack;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull() || qint64(image.width()) * image.height() > maxRecognizedPixels) {
        return 0;
    }
    // One warm recognizer for the whole run, as the application keeps one. It is never destroyed:
    // as a static it would end its engines after Tesseract's own dictionary cache has gone.
    static const Recognizer *const recognizer = new Recognizer;
    const QList<RecognizedLine> lines = recognizer->recognizeText(image, {QStringLiteral("en-US")});
    for (const RecognizedLine &line : lines) {
        KELO_FUZZ_EXPECT(isNormalized(line.box));
    }
    QStringList payloads;
    for (const LocatedCode &located : Recognizer::detectCodes(image)) {
        const DetectedCode &code = located.code;
        KELO_FUZZ_EXPECT(!code.payload.isEmpty() && !payloads.contains(code.payload));
        KELO_FUZZ_EXPECT(isNormalized(located.box));
        payloads.append(code.payload);
    }
    return 0;
}
