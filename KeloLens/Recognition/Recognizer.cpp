// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/Recognizer.h"

#include "KeloLens/Recognition/AutomaticLanguages.h"
#include "KeloLens/Recognition/BarcodeEngine.h"
#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/LanguagePacks.h"
#include "KeloLens/Recognition/PayloadClassification.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "KeloLens/Recognition/TextAssembly.h"

#include <QCoro/QCoroFuture>
#include <QLocale>
#include <QMutexLocker>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <malloc.h>

namespace {

const QStringList &userLanguages()
{
    static const QStringList languages = QLocale::system().uiLanguages();
    return languages;
}

// The share of a line's box that must lie on a code for the line to be the code's.
constexpr double onCodeShare = 0.5;

double overlapArea(const ExactRect &a, const ExactRect &b)
{
    const double width = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    const double height = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return width > 0 && height > 0 ? width * height : 0;
}

void assemble(RecognitionResult &result, const QList<RecognizedLine> &lines,
              const RecognitionOptions &options)
{
    result.paragraphs = groupParagraphs(lines);
    result.text = assembleText(result.paragraphs, options.lineBreaks, options.stripHyphenation);
}

} // namespace

Recognizer::Recognizer() : Recognizer(std::make_shared<TesseractEngine>(), {}) {}

Recognizer::Recognizer(std::shared_ptr<TesseractEngine> textEngine)
    : Recognizer(std::move(textEngine), {})
{
}

Recognizer::Recognizer(RecognitionPasses passes)
    : Recognizer(std::make_shared<TesseractEngine>(), std::move(passes))
{
}

Recognizer::Recognizer(std::shared_ptr<TesseractEngine> textEngine, RecognitionPasses passes)
    : m_textEngine(textEngine ? std::move(textEngine) : std::make_shared<TesseractEngine>()),
      m_automatic(std::make_shared<AutomaticLanguages>()), m_passes(std::move(passes))
{
    if (!m_passes.recognizeText) {
        // The engine, not the recognizer, so that a call in flight outlives the recognizer.
        m_passes.recognizeText = [engine = m_textEngine](const QImage &image,
                                                         const QStringList &languages,
                                                         std::stop_token stop) {
            return Recognizer::recognizeText(*engine, image, languages, std::move(stop));
        };
    }
    if (!m_passes.detectCodes) {
        m_passes.detectCodes = [](const QImage &image, std::stop_token stop) {
            return Recognizer::detectCodes(image, std::move(stop));
        };
    }
}

Recognizer::~Recognizer() = default;

std::stop_token Recognizer::stopToken()
{
    QMutexLocker lock(&m_stopMutex);
    return m_stop.get_token();
}

void Recognizer::releaseIdleMemory()
{
    m_textEngine->releaseIdleEngines();
    m_automatic->releaseIdleEngines();
    // A capture's images are large and short-lived; glibc keeps their pages otherwise.
    malloc_trim(0);
}

void Recognizer::cancelAll()
{
    QMutexLocker lock(&m_stopMutex);
    m_stop.request_stop();
    m_stop = std::stop_source();
}

QCoro::Task<RecognitionResult> Recognizer::recognize(QImage image, QStringList languages,
                                                     RecognitionOptions options)
{
    // A copy, so a call in flight does not depend on the recognizer staying alive.
    const RecognitionPasses passes = m_passes;
    const std::stop_token stop = stopToken();
    // Both passes only read the image: QImage's implicit sharing makes that safe across threads.
    QFuture<QList<LocatedCode>> codePass;
    if (options.detectBarcodes) {
        codePass = QtConcurrent::run([passes, image, stop] {
            try {
                return passes.detectCodes(image, stop);
            } catch (...) {
                return QList<LocatedCode>();
            }
        });
    }
    const bool isAutomatic = languages.isEmpty();
    AutomaticChoice automatic;
    if (isAutomatic) {
        // Named rather than awaited in place: GCC destroys the captures of a temporary awaited
        // in place twice.
        QFuture<AutomaticChoice> choosing = QtConcurrent::run([chooser = m_automatic, image, stop] {
            try {
                return chooser->choose(image, RecognitionLanguages::dataDirectory(),
                                       userLanguages(), stop);
            } catch (...) {
                return AutomaticChoice();
            }
        });
        automatic = co_await choosing;
        languages = automatic.languages;
    }
    QFuture<QList<RecognizedLine>> textPass = QtConcurrent::run([passes, image, languages, stop] {
        try {
            return passes.recognizeText(image, languages, stop);
        } catch (...) {
            return QList<RecognizedLine>();
        }
    });

    const QList<RecognizedLine> lines = co_await textPass;
    RecognitionResult result;
    if (automatic.isScriptUnread) {
        result.notes.unreadScript = automatic.script;
    }
    if (!isAutomatic) {
        result.notes.missingLanguages = LanguagePacks::missing(
            languages,
            RecognitionLanguages::installedDataNames(RecognitionLanguages::dataDirectory()));
    }
    assemble(result, lines, options);
    if (options.detectBarcodes) {
        const QList<LocatedCode> codes = co_await codePass;
        for (const LocatedCode &located : codes) {
            result.codes.append(located.code);
        }
        const QList<RecognizedLine> text = linesOffCodes(lines, codes);
        if (text.size() != lines.size()) {
            assemble(result, text, options);
        }
    }
    co_return result;
}

QList<RecognizedLine> Recognizer::recognizeText(const QImage &image, const QStringList &languages,
                                                std::stop_token stop) const
{
    return recognizeText(*m_textEngine, image, languages, std::move(stop));
}

QList<RecognizedLine> Recognizer::recognizeText(const TesseractEngine &engine, const QImage &image,
                                                const QStringList &languages, std::stop_token stop)
{
    const QString directory = RecognitionLanguages::dataDirectory();
    const QStringList dataNames = RecognitionLanguages::dataNamesFor(
        languages, RecognitionLanguages::installedDataNames(directory), userLanguages());
    if (dataNames.isEmpty() || stop.stop_requested()) {
        return {};
    }
    const PreparedImage prepared = ImagePreparation::prepareForText(image, stop);
    if (prepared.image.isNull()) {
        return {};
    }
    TextPassLimits limits;
    limits.stop = std::move(stop);
    const std::optional<TextReading> reading = engine.read(prepared, directory, dataNames, limits);
    return reading ? reading->lines : QList<RecognizedLine>();
}

QList<LocatedCode> Recognizer::detectCodes(const QImage &image, std::stop_token stop)
{
    QList<LocatedCode> codes;
    QSet<QString> seen;
    const double width = image.width();
    const double height = image.height();
    for (const BarcodeObservation &observation : BarcodeEngine::readCodes(image, stop)) {
        if (observation.payload.isEmpty() || seen.contains(observation.payload)) {
            continue;
        }
        seen.insert(observation.payload);
        const QRect area = observation.area;
        const ExactRect box{area.left() / width, 1.0 - (area.top() + area.height()) / height,
                            area.width() / width, area.height() / height};
        codes.append(
            {{observation.symbology, observation.payload, classifyPayload(observation.payload)},
             box});
    }
    return codes;
}

QList<RecognizedLine> Recognizer::linesOffCodes(const QList<RecognizedLine> &lines,
                                                const QList<LocatedCode> &codes)
{
    QList<RecognizedLine> kept;
    for (const RecognizedLine &line : lines) {
        const double area = std::abs(line.box.width * line.box.height);
        const bool isOnCode = std::any_of(codes.begin(), codes.end(), [&](const LocatedCode &c) {
            return area > 0 && overlapArea(line.box, c.box) >= onCodeShare * area;
        });
        if (!isOnCode) {
            kept.append(line);
        }
    }
    return kept;
}
