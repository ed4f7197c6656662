#pragma once

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/RecognitionModel.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// libtesseract behind a small interface. Initialising the engine for a set of languages takes
// longer than reading a screenful, so initialised engines are kept warm for the next capture,
// one per pass running at that moment.
namespace TesseractEngine {

// One line per text line the engine found, in its order, with boxes in the captured image's
// normalized coordinates. Absent when the engine could not run: language data missing or
// unreadable, or an image it rejects.
[[nodiscard]] std::optional<QList<RecognizedLine>> recognizeLines(const PreparedImage &prepared,
                                                                  const QString &dataDirectory,
                                                                  const QStringList &dataNames);

// The engine spreads one recognition over every core with OpenMP, which on a busy machine is
// several times slower than one thread; single-threaded is the default. The benchmark turns it
// off to show the difference.
void setSingleThreaded(bool isSingleThreaded);
// Whether the thread limit can be applied at all (the OpenMP runtime is present).
[[nodiscard]] bool canLimitThreads();

// Drops the warm engines, so that the next recognition starts cold.
void releaseIdleEngines();

} // namespace TesseractEngine
