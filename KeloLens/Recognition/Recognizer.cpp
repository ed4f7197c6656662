#include "KeloLens/Recognition/Recognizer.h"

#include "KeloLens/Recognition/BarcodeEngine.h"
#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/PayloadClassification.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "KeloLens/Recognition/TextAssembly.h"

#include <QCoro/QCoroFuture>
#include <QLocale>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

namespace {

const QStringList &userLanguages()
{
    static const QStringList languages = QLocale::system().uiLanguages();
    return languages;
}

} // namespace

Recognizer::Recognizer() : m_passes(enginePasses()) {}

Recognizer::Recognizer(RecognitionPasses passes) : m_passes(std::move(passes))
{
    const RecognitionPasses engines = enginePasses();
    if (!m_passes.recognizeText)
        m_passes.recognizeText = engines.recognizeText;
    if (!m_passes.detectCodes)
        m_passes.detectCodes = engines.detectCodes;
}

RecognitionPasses Recognizer::enginePasses()
{
    return {&Recognizer::recognizeText, &Recognizer::detectCodes};
}

QCoro::Task<RecognitionResult> Recognizer::recognize(QImage image, QStringList languages,
                                                     RecognitionOptions options)
{
    // A copy, so a call in flight does not depend on the recognizer staying alive.
    const RecognitionPasses passes = m_passes;
    // Both passes only read the image: QImage's implicit sharing makes that safe across threads.
    QFuture<QList<RecognizedLine>> textPass = QtConcurrent::run([passes, image, languages] {
        try {
            return passes.recognizeText(image, languages);
        } catch (...) {
            return QList<RecognizedLine>();
        }
    });
    QFuture<QList<DetectedCode>> codePass;
    if (options.detectBarcodes) {
        codePass = QtConcurrent::run([passes, image] {
            try {
                return passes.detectCodes(image);
            } catch (...) {
                return QList<DetectedCode>();
            }
        });
    }

    const QList<RecognizedLine> lines = co_await textPass;
    RecognitionResult result;
    result.paragraphs = groupParagraphs(lines);
    result.text = assembleText(result.paragraphs, options.lineBreaks, options.stripHyphenation);
    if (options.detectBarcodes)
        result.codes = co_await codePass;
    co_return result;
}

QList<RecognizedLine> Recognizer::recognizeText(const QImage &image, const QStringList &languages)
{
    const QString directory = RecognitionLanguages::dataDirectory();
    const QStringList dataNames = RecognitionLanguages::dataNamesFor(
        languages, RecognitionLanguages::installedDataNames(directory), userLanguages());
    if (dataNames.isEmpty())
        return {};
    const PreparedImage prepared = ImagePreparation::prepareForText(image);
    return TesseractEngine::recognizeLines(prepared, directory, dataNames)
        .value_or(QList<RecognizedLine>());
}

QList<DetectedCode> Recognizer::detectCodes(const QImage &image)
{
    QList<DetectedCode> codes;
    QSet<QString> seen;
    for (const BarcodeObservation &observation : BarcodeEngine::readCodes(image)) {
        if (observation.payload.isEmpty() || seen.contains(observation.payload))
            continue;
        seen.insert(observation.payload);
        codes.append(
            {observation.symbology, observation.payload, classifyPayload(observation.payload)});
    }
    return codes;
}
