// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/Recognizer.h"

#include "KeloLens/Recognition/AutomaticLanguages.h"
#include "KeloLens/Recognition/BarcodeEngine.h"
#include "KeloLens/Recognition/Dictionaries.h"
#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/JoinedLetters.h"
#include "KeloLens/Recognition/KeyNames.h"
#include "KeloLens/Recognition/LanguagePacks.h"
#include "KeloLens/Recognition/LookAlikes.h"
#include "KeloLens/Recognition/PayloadClassification.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/TesseractEngine.h"
#include "KeloLens/Recognition/TextAssembly.h"
#include "KeloLens/Recognition/TextBlocks.h"
#include "KeloLens/Recognition/WordList.h"

#include <QCoro/QCoroFuture>
#include <QLocale>
#include <QMutexLocker>
#include <QSet>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <malloc.h>

namespace {

const QStringList &userLanguages()
{
    static const QStringList languages = QLocale::system().uiLanguages();
    return languages;
}

// The share of a line's box that must lie on codes for the line to be theirs.
constexpr double onCodeShare = 0.5;
// A line along a linear code, within this share of its width beyond either end, made mostly
// (this share) of the payload's characters or digits, is the code's printed text.
constexpr double captionReach = 0.15;
constexpr double captionShare = 0.6;
// A lone digit beside the bars (an EAN's first) reads as anything.
constexpr int maxCaptionJunk = 2;

double overlapArea(const ExactRect &a, const ExactRect &b)
{
    const double width = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    const double height = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return width > 0 && height > 0 ? width * height : 0;
}

bool isMonospace(const QList<RecognizedLine> &block)
{
    const auto monospace = std::count_if(
        block.begin(), block.end(), [](const RecognizedLine &line) { return line.cellWidth > 0; });
    return 2 * monospace >= block.size();
}

// The digits printed along a linear code's bars (or its text, for codes that carry words) are
// the code's payload again, read less well than the bars, often into letters shaped like
// digits: not text of the capture.
bool looksLikePayload(const QString &text, const QString &payload)
{
    static const QString digitShapes = QStringLiteral("OoQDIl|i!SsBZzGbq()[]{}°'.,:;-");
    int total = 0;
    int fitting = 0;
    for (const QChar c : text) {
        if (c.isSpace()) {
            continue;
        }
        ++total;
        fitting +=
            c.isDigit() || digitShapes.contains(c) || payload.contains(c, Qt::CaseInsensitive) ? 1
                                                                                               : 0;
    }
    return total <= maxCaptionJunk || fitting >= captionShare * total;
}

bool isCaptionOf(const RecognizedLine &line, const LocatedCode &code)
{
    if (!BarcodeEngine::isLinear(code.code.symbology)) {
        return false;
    }
    const ExactRect &bars = code.box;
    const ExactRect &box = line.box;
    // The first digit of an EAN or UPC code stands left of the bars, the last of a UPC right.
    const double left = bars.minX() - captionReach * bars.width;
    const double right = bars.maxX() + captionReach * bars.width;
    const double inside = std::min(right, box.maxX()) - std::max(left, box.minX());
    // Under the bars or over them, at most a line's height away (y grows upwards).
    const double height = std::abs(box.height);
    const bool isAlong = box.midY() < bars.midY() ? bars.minY() - box.maxY() <= height
                                                  : box.minY() - bars.maxY() <= height;
    return box.width > 0 && inside >= 0.8 * box.width && isAlong &&
           looksLikePayload(line.text, code.code.payload);
}

// Block by block, so that columns side by side never share a row.
void assemble(RecognitionResult &result, const QList<RecognizedLine> &lines, const QImage &image,
              const RecognitionOptions &options, const WordCheck &isWord)
{
    result.paragraphs.clear();
    QStringList texts;
    for (QList<RecognizedLine> block : TextBlocks::split(lines, image)) {
        const bool isPreformatted = isMonospace(block);
        if (!isPreformatted) {
            for (RecognizedLine &line : block) {
                line.text = KeyNames::mended(JoinedLetters::mended(line.text, isWord));
            }
        }
        const QList<Paragraph> paragraphs = groupParagraphs(block);
        AssemblyHints hints;
        hints.isPreformatted = isPreformatted;
        hints.isWord = isWord;
        texts.append(assembleText(paragraphs, options.lineBreaks, options.stripHyphenation, hints));
        result.paragraphs += paragraphs;
    }
    result.text = texts.join(QStringLiteral("\n\n"));
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
      m_dictionaries(std::make_shared<Dictionaries>(WordList::dictionaryDirectory())),
      m_automatic(std::make_shared<AutomaticLanguages>()), m_passes(std::move(passes))
{
    // Every thread that reads gets a heap of its own by default, and what a freed engine leaves
    // in those heaps is not given back when idle (some 25 MB after a few captures). One heap per
    // core serves the threads that read at once as well.
    mallopt(M_ARENA_MAX, std::clamp(QThread::idealThreadCount(), 2, 4));
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
    m_dictionaries->clear();
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
    const auto readText = [passes, image](const QStringList &tags, const std::stop_token &until) {
        return QtConcurrent::run([passes, image, tags, until] {
            try {
                return passes.recognizeText(image, tags, until);
            } catch (...) {
                return QList<RecognizedLine>();
            }
        });
    };
    const bool isAutomatic = languages.isEmpty();
    AutomaticChoice automatic;
    QFuture<QList<RecognizedLine>> textPass;
    // On Automatic most text is in the user's languages or English: it is read so while the
    // script is told, and again only when it is in another.
    std::stop_source usualStop;
    const std::stop_callback forwardStop(stop, [usualStop]() mutable { usualStop.request_stop(); });
    // Named rather than awaited in place: GCC destroys the captures of a temporary awaited in
    // place twice.
    QFuture<AutomaticChoice> choosing;
    if (isAutomatic) {
        textPass = readText({}, usualStop.get_token());
        choosing = QtConcurrent::run([chooser = m_automatic, image, stop] {
            try {
                return chooser->choose(image, RecognitionLanguages::dataDirectory(),
                                       userLanguages(), stop);
            } catch (...) {
                return AutomaticChoice();
            }
        });
    } else {
        textPass = readText(languages, stop);
    }
    // Every pass only reads the image: QImage's implicit sharing makes that safe across threads.
    // Queued after the text, which takes longest: where the pool has two threads, the codes and
    // the script are found one after the other beside it instead of holding the text back.
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
    if (isAutomatic) {
        automatic = co_await choosing;
        languages = automatic.languages;
        if (!automatic.readsAsUsual) {
            usualStop.request_stop();
            textPass = readText(languages, stop);
        }
    }
    // Loading a dictionary takes a while the first time: alongside the passes, not on the caller's
    // thread. The words also tell letters that ran together, whatever is done with hyphens.
    const auto checkWords = [dictionaries = m_dictionaries](const QStringList &tags) {
        return dictionaries->checkFor(tags, userLanguages());
    };
    const bool isLanguageOpen = !automatic.candidates.isEmpty();
    QFuture<WordCheck> wordCheck;
    if (isLanguageOpen) {
        m_automatic->prepareDictionaries(automatic.candidates,
                                         RecognitionLanguages::dataDirectory());
    } else {
        wordCheck = QtConcurrent::run(checkWords, languages);
    }

    const QList<RecognizedLine> lines = co_await textPass;
    if (isLanguageOpen) {
        // Which of the languages the text is in shows in the words read.
        QString text;
        for (const RecognizedLine &line : lines) {
            text += line.text + u'\n';
        }
        wordCheck = QtConcurrent::run(
            [chooser = m_automatic, candidates = automatic.candidates, text, checkWords] {
                return checkWords(chooser->languagesByWords(candidates, text,
                                                            RecognitionLanguages::dataDirectory()));
            });
    }
    const WordCheck isWord = co_await wordCheck;
    RecognitionResult result;
    if (automatic.isScriptUnread) {
        result.notes.unreadScript = automatic.script;
    }
    if (!isAutomatic) {
        result.notes.missingLanguages = LanguagePacks::missing(
            languages,
            RecognitionLanguages::installedDataNames(RecognitionLanguages::dataDirectory()));
    }
    assemble(result, lines, image, options, isWord);
    if (options.detectBarcodes) {
        const QList<LocatedCode> codes = co_await codePass;
        for (const LocatedCode &located : codes) {
            result.codes.append(located.code);
        }
        const QList<RecognizedLine> text = linesOffCodes(lines, codes);
        if (text.size() != lines.size()) {
            assemble(result, text, image, options, isWord);
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
    const QStringList installed = RecognitionLanguages::installedDataNames(directory);
    QStringList dataNames =
        RecognitionLanguages::dataNamesFor(languages, installed, userLanguages());
    if (dataNames.isEmpty() || stop.stop_requested()) {
        return {};
    }
    const PreparedImage prepared = ImagePreparation::prepareForText(image, stop);
    if (prepared.image.isNull()) {
        return {};
    }
    // The script model is worth its time on the captures people make every day; on a whole
    // screen of text the language's own model is as good and twice as fast.
    if (double(prepared.image.width()) * prepared.image.height() <=
        RecognitionLanguages::maxScriptModelPixels) {
        dataNames = RecognitionLanguages::withScriptModels(dataNames, installed);
    }
    TextPassLimits limits;
    limits.stop = std::move(stop);
    const std::optional<TextReading> reading = engine.read(prepared, directory, dataNames, limits);
    if (!reading) {
        return {};
    }
    QList<RecognizedLine> lines = reading->lines;
    for (RecognizedLine &line : lines) {
        line.text = LookAlikes::inWordScript(line.text);
        if (line.cellWidth <= 0) {
            line.text = LookAlikes::withBarsInWordsAsL(line.text);
        }
    }
    return lines;
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
        // Over every code at once: a line across two codes side by side lies half on each.
        double onCodes = 0;
        for (const LocatedCode &code : codes) {
            onCodes += overlapArea(line.box, code.box);
        }
        const bool isOnCode = area > 0 && onCodes >= onCodeShare * area;
        const bool isCaption =
            std::any_of(codes.begin(), codes.end(),
                        [&](const LocatedCode &code) { return isCaptionOf(line, code); });
        if (!isOnCode && !isCaption) {
            kept.append(line);
        }
    }
    return kept;
}
