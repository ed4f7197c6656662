#pragma once

#include "KeloLens/Recognition/Recognizing.h"

#include <functional>

// The two halves of a recognition. The recognizer runs the engines' passes; tests may wrap or
// replace one to watch it.
struct RecognitionPasses
{
    std::function<QList<RecognizedLine>(const QImage &, const QStringList &)> recognizeText;
    std::function<QList<DetectedCode>(const QImage &)> detectCodes;
};

// Reads one captured image: the text pass (Tesseract) and the code pass (ZXing) run at the same
// time on the thread pool. Holds nothing between calls.
class Recognizer final : public Recognizing
{
public:
    Recognizer();
    explicit Recognizer(RecognitionPasses passes);

    QCoro::Task<RecognitionResult> recognize(QImage image, QStringList languages,
                                             RecognitionOptions options) override;

    // The text engine's lines, in its order; empty when the pass failed. Languages are BCP 47
    // tags; none means the user's languages that are installed, plus English.
    [[nodiscard]] static QList<RecognizedLine> recognizeText(const QImage &image,
                                                             const QStringList &languages);
    // The codes found, first of each payload only, payloads classified.
    [[nodiscard]] static QList<DetectedCode> detectCodes(const QImage &image);

    [[nodiscard]] static RecognitionPasses enginePasses();

private:
    RecognitionPasses m_passes;
};
