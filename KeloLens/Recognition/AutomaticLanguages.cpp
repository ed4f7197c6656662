// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/AutomaticLanguages.h"

#include "KeloLens/Recognition/ImagePreparation.h"
#include "KeloLens/Recognition/OpenMpThreads.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/TesseractEnginePool.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <array>
#include <string>
#include <tesseract/baseapi.h>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The detection's script names and their ISO 15924 codes. Fraktur is a Latin type face; the
// kana and Hangul names come from the detection's own sets.
constexpr std::array<std::pair<const char *, const char *>, 34> scriptCodes = {{
    {"Latin", "Latn"},      {"Fraktur", "Latn"},
    {"Cyrillic", "Cyrl"},   {"Greek", "Grek"},
    {"Han", "Hani"},        {"Japanese", "Jpan"},
    {"Katakana", "Jpan"},   {"Hiragana", "Jpan"},
    {"Korean", "Kore"},     {"Hangul", "Kore"},
    {"Arabic", "Arab"},     {"Hebrew", "Hebr"},
    {"Devanagari", "Deva"}, {"Bengali", "Beng"},
    {"Thai", "Thai"},       {"Armenian", "Armn"},
    {"Georgian", "Geor"},   {"Tamil", "Taml"},
    {"Telugu", "Telu"},     {"Kannada", "Knda"},
    {"Malayalam", "Mlym"},  {"Gujarati", "Gujr"},
    {"Gurmukhi", "Guru"},   {"Oriya", "Orya"},
    {"Khmer", "Khmr"},      {"Lao", "Laoo"},
    {"Myanmar", "Mymr"},    {"Sinhala", "Sinh"},
    {"Tibetan", "Tibt"},    {"Ethiopic", "Ethi"},
    {"Thaana", "Thaa"},     {"Cherokee", "Cher"},
    {"Syriac", "Syrc"},     {"Canadian_Aboriginal", "Cans"},
}};

// Below this the detection is a guess: the capture is read as if nothing had been detected.
constexpr float minScriptConfidence = 0.5F;
// Telling the user to install a language needs more certainty than choosing among installed ones.
constexpr float minNoticeConfidence = 2.0F;
// How much text the script is told from and the languages are tried on: the first few lines,
// at most so wide, so that a full screen costs about what a small capture does.
constexpr int trialLines = 3;
constexpr int minTrialHeight = 96;
constexpr int maxTrialWidth = 900;
// The band of a large capture the script is looked for in, in captured pixels.
constexpr int bandRows = 360;
constexpr int maxBandColumns = 2560;
// Beyond these many languages of one script the rest are not tried: each costs a read.
constexpr qsizetype maxTrials = 4;
// The detection classifies each glyph it looks at in four orientations, about half a
// millisecond each: it looks at this many at most (five times its "min_characters_to_try"),
// where it would take up to 250, a quarter of a second on a few lines, for the same answer.
// Below the least it would give up itself with its own settings; on fewer it names scripts with
// confidence that are not there ("Cancel" as Devanagari, two lines of Chinese as Bengali).
constexpr int maxDetectionGlyphs = 50;
constexpr int minDetectionGlyphs = 25;
// The glyphs it looks at: marks of ink at least this tall (in prepared pixels), and no more than
// this much longer one way than the other.
constexpr int minGlyphHeight = 10;
constexpr int maxGlyphAspect = 2;
// Words enough to tell one language's dictionary from another's.
constexpr qsizetype maxWordsCompared = 300;

// Whether data written in `script` reads text detected as `detected`.
bool readsScript(const QString &script, const QString &detected)
{
    if (script == detected) {
        return true;
    }
    if (detected == QLatin1String("Hani")) {
        // Chinese characters: either Chinese, and Japanese reads them too.
        return script == QLatin1String("Hans") || script == QLatin1String("Hant") ||
               script == QLatin1String("Jpan");
    }
    return detected == QLatin1String("Kore") && script == QLatin1String("Hang");
}

// The part of the prepared page that holds its first few lines of text.
QImage textSample(const QImage &page)
{
    const int lineHeight = std::max(8, ImagePreparation::typicalLineHeight(page, 255));
    int firstInk = 0;
    for (; firstInk < page.height(); ++firstInk) {
        const uchar *row = page.constScanLine(firstInk);
        if (std::any_of(row, row + page.width(), [](uchar grey) { return grey < 128; })) {
            break;
        }
    }
    const int wanted = std::max(minTrialHeight, lineHeight * (2 * trialLines + 1));
    if (firstInk >= page.height()) {
        return {};
    }
    // A page not much taller than the sample is taken whole, with the margin it was given.
    if (page.height() <= 2 * wanted && page.width() <= 2 * maxTrialWidth) {
        return page;
    }
    const int top = std::max(0, firstInk - lineHeight);
    const int height = std::min(page.height() - top, wanted);
    // From where the ink starts on those rows: a sidebar's margin holds no text.
    int firstColumn = page.width();
    for (int y = top; y < top + height; ++y) {
        const uchar *row = page.constScanLine(y);
        const uchar *ink =
            std::find_if(row, row + firstColumn, [](uchar grey) { return grey < 128; });
        firstColumn = int(ink - row);
    }
    const int left = std::max(0, std::min(firstColumn, page.width() - 1) - lineHeight);
    return page.copy(left, top, std::min(page.width() - left, maxTrialWidth), height);
}

// How many glyphs the detection would look at in a prepared sample, counted up to `enough`:
// connected marks of ink of a letter's size and shape.
int glyphCount(const QImage &sample, int enough)
{
    const int width = sample.width();
    const int height = sample.height();
    std::vector<bool> seen(size_t(width) * size_t(height), false);
    const auto isInk = [&](int x, int y) { return sample.constScanLine(y)[x] < 128; };
    std::vector<std::pair<int, int>> stack;
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (seen[size_t(y) * size_t(width) + size_t(x)] || !isInk(x, y)) {
                continue;
            }
            QRect box(x, y, 1, 1);
            seen[size_t(y) * size_t(width) + size_t(x)] = true;
            stack.assign(1, {x, y});
            while (!stack.empty()) {
                const auto [px, py] = stack.back();
                stack.pop_back();
                box |= QRect(px, py, 1, 1);
                for (int ny = std::max(0, py - 1); ny <= std::min(height - 1, py + 1); ++ny) {
                    for (int nx = std::max(0, px - 1); nx <= std::min(width - 1, px + 1); ++nx) {
                        const size_t at = size_t(ny) * size_t(width) + size_t(nx);
                        if (!seen[at] && isInk(nx, ny)) {
                            seen[at] = true;
                            stack.emplace_back(nx, ny);
                        }
                    }
                }
            }
            if (box.height() >= minGlyphHeight && box.width() <= maxGlyphAspect * box.height() &&
                box.height() <= maxGlyphAspect * box.width() && ++count >= enough) {
                return count;
            }
        }
    }
    return count;
}

// The words of a text, as a dictionary would hold them.
QStringList wordsOf(const QString &text)
{
    static const QRegularExpression notInWord(QStringLiteral("[^\\p{L}\\p{M}'’]+"));
    QStringList words;
    for (QString word : text.split(notInWord, Qt::SkipEmptyParts)) {
        while (!word.isEmpty() && !word.front().isLetter()) {
            word.remove(0, 1);
        }
        while (!word.isEmpty() && !word.back().isLetter()) {
            word.chop(1);
        }
        if (!word.isEmpty()) {
            words.append(word);
        }
        if (words.size() >= maxWordsCompared) {
            break;
        }
    }
    return words;
}

// Screen text in any script mixes in English: addresses, names, code.
QStringList withEnglish(const QString &chosen, const QStringList &installed)
{
    QStringList languages{chosen};
    if (RecognitionLanguages::dataNameForTag(chosen) != QLatin1String("eng") &&
        installed.contains(QLatin1String("eng"))) {
        languages.append(QStringLiteral("en"));
    }
    return languages;
}

// Where in a capture the script is looked for: a small capture whole; of a large one a band of
// rows across the middle, where dialogs and most text sit, then one across the top. Preparing
// and looking through a whole screen would cost as much as reading it.
QList<QImage> bandsOf(const QImage &capture)
{
    if (capture.height() <= 2 * bandRows && capture.width() <= maxBandColumns) {
        return {capture};
    }
    const int width = std::min(capture.width(), maxBandColumns);
    const int left = (capture.width() - width) / 2;
    const int height = std::min(capture.height(), bandRows);
    return {capture.copy(left, (capture.height() - height) / 2, width, height),
            capture.copy(left, 0, width, height)};
}

} // namespace

struct AutomaticLanguages::Detector
{
    QString directory;
    TesseractEnginePool::Engine engine;
};

AutomaticLanguages::AutomaticLanguages()
    : m_pool(std::make_unique<TesseractEnginePool>(maxTrials + 1)),
      m_detector(std::make_unique<Detector>())
{
    m_preparing.setMaxThreadCount(1);
}

AutomaticLanguages::~AutomaticLanguages() = default;

QString AutomaticLanguages::scriptCode(const QString &detectedName)
{
    for (const auto &[name, code] : scriptCodes) {
        if (detectedName == QLatin1String(name)) {
            return QString::fromLatin1(code);
        }
    }
    return {};
}

QStringList AutomaticLanguages::languagesOfScript(const QString &script,
                                                  const QStringList &installedDataNames,
                                                  const QStringList &uiLanguages)
{
    QStringList installed;
    for (const QString &name : installedDataNames) {
        const std::optional<QString> tag = RecognitionLanguages::tagForDataName(name);
        if (tag && readsScript(RecognitionLanguages::scriptOf(*tag), script)) {
            installed.append(*tag);
        }
    }
    QStringList ordered;
    const auto take = [&](const QString &wanted) {
        const std::optional<QString> name = RecognitionLanguages::dataNameForTag(wanted);
        for (const QString &tag : std::as_const(installed)) {
            if (name && RecognitionLanguages::dataNameForTag(tag) == name &&
                !ordered.contains(tag)) {
                ordered.append(tag);
            }
        }
    };
    for (const QString &language : uiLanguages) {
        take(language);
    }
    take(QStringLiteral("en"));
    for (const QString &tag : RecognitionLanguages::allTags()) {
        if (installed.contains(tag) && !ordered.contains(tag)) {
            ordered.append(tag);
        }
    }
    return ordered;
}

void AutomaticLanguages::releaseIdleEngines()
{
    m_pool->clear();
    const QMutexLocker lock(&m_detectionMutex);
    m_detector->engine.reset();
}

QString AutomaticLanguages::detectScript(const QImage &sample, int resolution,
                                         const QString &directory, bool *isSure) const
{
    if (glyphCount(sample, minDetectionGlyphs) < minDetectionGlyphs) {
        return {};
    }
    const QMutexLocker lock(&m_detectionMutex);
    if (!m_detector->engine || m_detector->directory != directory) {
        m_detector->engine.reset(new tesseract::TessBaseAPI);
        m_detector->directory = directory;
        std::vector<std::string> names = {"debug_file", "min_characters_to_try"};
        std::vector<std::string> values = {"/dev/null", std::to_string(maxDetectionGlyphs / 5)};
        // The detection data has only the older engine's models.
        if (m_detector->engine->Init(directory.toLocal8Bit().constData(), "osd",
                                     tesseract::OEM_TESSERACT_ONLY, nullptr, 0, &names, &values,
                                     false) != 0) {
            m_detector->engine.reset();
            return {};
        }
        m_detector->engine->SetPageSegMode(tesseract::PSM_OSD_ONLY);
    }
    tesseract::TessBaseAPI &engine = *m_detector->engine;
    engine.SetImage(sample.constBits(), sample.width(), sample.height(), 1,
                    int(sample.bytesPerLine()));
    engine.SetSourceResolution(resolution);
    int degrees = 0;
    float orientationConfidence = 0;
    const char *scriptName = nullptr;
    float scriptConfidence = 0;
    // Fails on too little text.
    const bool isDetected = engine.DetectOrientationScript(&degrees, &orientationConfidence,
                                                           &scriptName, &scriptConfidence);
    engine.Clear();
    if (!isDetected || !scriptName || scriptConfidence < minScriptConfidence) {
        return {};
    }
    *isSure = scriptConfidence >= minNoticeConfidence;
    return scriptCode(QString::fromLatin1(scriptName));
}

QString AutomaticLanguages::mostKnownWords(const QStringList &words, const QString &directory,
                                           const QStringList &candidates) const
{
    // Taken while still loading, an engine would load a second time.
    QFuture<void> prepared;
    {
        const QMutexLocker lock(&m_preparedMutex);
        prepared = m_prepared;
    }
    prepared.waitForFinished();
    std::vector<int> known(size_t(candidates.size()), -1);
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const std::optional<QString> name = RecognitionLanguages::dataNameForTag(candidates.at(i));
        if (!name) {
            continue;
        }
        const QStringList dataNames{*name};
        TesseractEnginePool::Engine engine = m_pool->take(directory, dataNames);
        if (!engine) {
            continue;
        }
        known[size_t(i)] = int(std::count_if(words.begin(), words.end(), [&](const QString &word) {
            // A word starting a sentence is in the dictionary in lower case.
            return engine->IsValidWord(word.toUtf8().constData()) ||
                   engine->IsValidWord(word.toLower().toUtf8().constData());
        }));
        m_pool->giveBack(directory, dataNames, std::move(engine));
    }
    // The first, the user's own language, wins a tie.
    const auto best = std::max_element(known.begin(), known.end());
    return candidates.at(std::distance(known.begin(), best));
}

void AutomaticLanguages::prepareDictionaries(const QStringList &candidates,
                                             const QString &dataDirectory) const
{
    QStringList names;
    for (const QString &tag : candidates) {
        if (const std::optional<QString> name = RecognitionLanguages::dataNameForTag(tag)) {
            names.append(*name);
        }
    }
    const QMutexLocker lock(&m_preparedMutex);
    // Once idle memory was released they load again, close to a second for three languages: on
    // a core of its own, beside the read.
    m_prepared = QtConcurrent::run(&m_preparing, [pool = m_pool.get(), names, dataDirectory] {
        for (const QString &name : names) {
            const QStringList dataNames{name};
            pool->giveBack(dataDirectory, dataNames, pool->take(dataDirectory, dataNames));
        }
    });
}

QStringList AutomaticLanguages::languagesByWords(const QStringList &candidates, const QString &text,
                                                 const QString &dataDirectory) const
{
    if (candidates.isEmpty()) {
        return {};
    }
    const QString chosen = candidates.size() == 1
                               ? candidates.first()
                               : mostKnownWords(wordsOf(text), dataDirectory, candidates);
    return withEnglish(chosen, RecognitionLanguages::installedDataNames(dataDirectory));
}

QString AutomaticLanguages::sampleText(const QImage &sample, int resolution,
                                       const QString &directory, const QString &dataName) const
{
    OpenMpThreads::allowEngineThreads(false);
    const QStringList dataNames{dataName};
    TesseractEnginePool::Engine engine = m_pool->take(directory, dataNames);
    if (!engine) {
        return {};
    }
    engine->SetImage(sample.constBits(), sample.width(), sample.height(), 1,
                     int(sample.bytesPerLine()));
    engine->SetSourceResolution(resolution);
    const std::unique_ptr<char[]> text(engine->GetUTF8Text());
    m_pool->giveBack(directory, dataNames, std::move(engine));
    return text ? QString::fromUtf8(text.get()) : QString();
}

QString AutomaticLanguages::mostConfident(const QImage &sample, int resolution,
                                          const QString &directory, const QStringList &candidates,
                                          const std::stop_token &stop) const
{
    const QStringList &tried = candidates;
    std::vector<int> confidences(size_t(tried.size()), -1);
    const auto tryLanguage = [&](qsizetype i) {
        OpenMpThreads::allowEngineThreads(false);
        const std::optional<QString> name = RecognitionLanguages::dataNameForTag(tried.at(i));
        if (stop.stop_requested() || !name) {
            return;
        }
        const QStringList dataNames{*name};
        TesseractEnginePool::Engine engine = m_pool->take(directory, dataNames);
        if (!engine) {
            return;
        }
        engine->SetImage(sample.constBits(), sample.width(), sample.height(), 1,
                         int(sample.bytesPerLine()));
        engine->SetSourceResolution(resolution);
        confidences[size_t(i)] = engine->Recognize(nullptr) == 0 ? engine->MeanTextConf() : -1;
        m_pool->giveBack(directory, dataNames, std::move(engine));
    };
    {
        // All at once: the trial is a wait before the real read starts.
        std::vector<std::jthread> threads;
        for (qsizetype i = 1; i < tried.size(); ++i) {
            threads.emplace_back(tryLanguage, i);
        }
        tryLanguage(0);
    }
    // The first, the user's own language, wins a tie.
    const auto best = std::max_element(confidences.begin(), confidences.end());
    return tried.at(std::distance(confidences.begin(), best));
}

AutomaticChoice AutomaticLanguages::choose(const QImage &capture, const QString &dataDirectory,
                                           const QStringList &uiLanguages,
                                           std::stop_token stop) const
{
    AutomaticChoice choice;
    const QStringList installed = RecognitionLanguages::installedDataNames(dataDirectory);
    if (!installed.contains(QLatin1String("osd"))) {
        return choice;
    }
    QImage sample;
    int resolution = 0;
    bool isSure = false;
    const QList<QImage> bands = bandsOf(capture);
    // Whether the text will be read with a script model: only known where the capture is
    // prepared whole here, as the reading prepares it.
    bool isReadWithScriptModel = false;
    for (const QImage &band : bands) {
        const PreparedImage prepared = ImagePreparation::prepareForText(band, stop);
        sample = prepared.image.isNull() ? QImage() : textSample(prepared.image);
        if (stop.stop_requested() || sample.isNull()) {
            continue;
        }
        resolution = prepared.resolution;
        isReadWithScriptModel =
            bands.size() == 1 && double(prepared.image.width()) * prepared.image.height() <=
                                     RecognitionLanguages::maxScriptModelPixels;
        choice.script = detectScript(sample, resolution, dataDirectory, &isSure);
        if (!choice.script.isEmpty()) {
            break;
        }
    }
    if (choice.script.isEmpty()) {
        return choice;
    }
    const QStringList candidates = languagesOfScript(choice.script, installed, uiLanguages);
    if (candidates.isEmpty()) {
        choice.isScriptUnread = isSure;
        return choice;
    }
    const QStringList tried = candidates.first(std::min(maxTrials, candidates.size()));
    QString chosen = tried.first();
    const std::optional<QString> latinModel = RecognitionLanguages::latinScriptModel(installed);
    if (tried.size() > 1 && choice.script == QLatin1String("Latn") && latinModel) {
        // The script model reads every Latin language alike, and better than each language's
        // own: the language only chooses the dictionary, from the words it read. Reading once
        // costs less than a trial read per language, and the dictionaries tell languages apart
        // where the engine's confidence often ties.
        if (isReadWithScriptModel) {
            choice.candidates = tried;
        } else {
            chosen =
                mostKnownWords(wordsOf(sampleText(sample, resolution, dataDirectory, *latinModel)),
                               dataDirectory, tried);
        }
    } else if (tried.size() > 1) {
        chosen = mostConfident(sample, resolution, dataDirectory, tried, stop);
    }
    choice.languages = withEnglish(chosen, installed);
    const QStringList names =
        RecognitionLanguages::dataNamesFor(choice.languages, installed, uiLanguages);
    const QStringList usual = RecognitionLanguages::dataNamesFor({}, installed, uiLanguages);
    choice.readsAsUsual =
        names == usual ||
        (isReadWithScriptModel && RecognitionLanguages::withScriptModels(names, installed) ==
                                      RecognitionLanguages::withScriptModels(usual, installed));
    return choice;
}
