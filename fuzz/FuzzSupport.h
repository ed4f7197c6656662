// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the libFuzzer targets: turning bytes into the inputs the parsers see, and stopping
// with a message when a promise of the code under test is broken (libFuzzer then keeps the input).

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define KELO_FUZZ_EXPECT(condition)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "KeloLens: fuzz expectation failed: %s (%s:%d)\n", #condition,    \
                         __FILE__, __LINE__);                                                      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace FuzzSupport {

// Random bytes as the text a scanner or the text engine could hand over: invalid UTF-8 becomes
// replacement characters, as it would in the application.
inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A set of recognized lines in a compact binary form: per line, one byte giving the text's
// length in bytes, four 32-bit floats for the box (x, y, width, height, any bit pattern:
// NaN and infinities included), then the text. The seed generator writes the same form.
inline QList<RecognizedLine> lines(const uint8_t *data, size_t size)
{
    QList<RecognizedLine> result;
    size_t at = 0;
    while (at + 1 + 4 * sizeof(float) <= size && result.size() < 256) {
        const size_t length = data[at++];
        float box[4];
        std::memcpy(box, data + at, sizeof box);
        at += sizeof box;
        const size_t available = std::min(length, size - at);
        result.append({text(data + at, available), ExactRect{box[0], box[1], box[2], box[3]}});
        at += available;
    }
    return result;
}

inline QByteArray encodeLines(const QList<RecognizedLine> &lines)
{
    QByteArray bytes;
    for (const RecognizedLine &line : lines) {
        const QByteArray text = line.text.toUtf8().left(255);
        const float box[4] = {float(line.box.x), float(line.box.y), float(line.box.width),
                              float(line.box.height)};
        bytes.append(char(text.size()));
        bytes.append(reinterpret_cast<const char *>(box), sizeof box);
        bytes.append(text);
    }
    return bytes;
}

} // namespace FuzzSupport
