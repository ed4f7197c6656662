// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/Recognizing.h"

#include <QMutex>

#include <functional>
#include <memory>
#include <stop_token>

class AutomaticLanguages;
class Dictionaries;
class TesseractEngine;

// A code and where its picture lies, in the captured image's normalized coordinates like a
// line's box.
struct LocatedCode
{
    DetectedCode code;
    ExactRect box;

    bool operator==(const LocatedCode &) const = default;
};

// The two halves of a recognition. The recognizer runs the engines' passes; tests may wrap or
// replace one to watch it. A pass ends early, with what it found by then, once its stop token is
// triggered.
struct RecognitionPasses
{
    std::function<QList<RecognizedLine>(const QImage &, const QStringList &, std::stop_token)>
        recognizeText;
    std::function<QList<LocatedCode>(const QImage &, std::stop_token)> detectCodes;
};

// Reads one captured image: the text pass (Tesseract) and the code pass (ZXing) run at the same
// time on the thread pool. Holds nothing between calls but warm text engines.
class Recognizer final : public Recognizing
{
public:
    Recognizer();
    explicit Recognizer(std::shared_ptr<TesseractEngine> textEngine);
    // Passes left empty are the engines'.
    explicit Recognizer(RecognitionPasses passes);
    ~Recognizer() override;

    QCoro::Task<RecognitionResult> recognize(QImage image, QStringList languages,
                                             RecognitionOptions options) override;

    // Stops every recognition under way: its passes end at the next word or look, and it
    // returns what was read by then. Later recognitions are not affected. For quitting.
    void cancelAll() override;
    // Drops the warm text engines (the next recognition loads one again) and returns freed heap
    // pages to the system.
    void releaseIdleMemory() override;

    // The text engine's lines, in its order; empty when the pass failed. Languages are BCP 47
    // tags; none means the user's languages that are installed, plus English.
    [[nodiscard]] QList<RecognizedLine> recognizeText(const QImage &image,
                                                      const QStringList &languages,
                                                      std::stop_token stop = {}) const;
    // The codes found, first of each payload only, payloads classified.
    [[nodiscard]] static QList<LocatedCode> detectCodes(const QImage &image,
                                                        std::stop_token stop = {});

    // The lines that do not lie on a code: the text engine reads a code's modules as junk
    // letters, which are not text.
    [[nodiscard]] static QList<RecognizedLine> linesOffCodes(const QList<RecognizedLine> &lines,
                                                             const QList<LocatedCode> &codes);

private:
    Recognizer(std::shared_ptr<TesseractEngine> textEngine, RecognitionPasses passes);

    [[nodiscard]] static QList<RecognizedLine> recognizeText(const TesseractEngine &engine,
                                                             const QImage &image,
                                                             const QStringList &languages,
                                                             std::stop_token stop);
    [[nodiscard]] std::stop_token stopToken();

    std::shared_ptr<TesseractEngine> m_textEngine;
    std::shared_ptr<Dictionaries> m_dictionaries;
    // Picks the languages when none are asked for.
    std::shared_ptr<AutomaticLanguages> m_automatic;
    RecognitionPasses m_passes;
    QMutex m_stopMutex;
    std::stop_source m_stop;
};
