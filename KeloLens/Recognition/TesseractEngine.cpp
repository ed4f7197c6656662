#include "KeloLens/Recognition/TesseractEngine.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using Engine = std::unique_ptr<tesseract::TessBaseAPI>;

// Both passes of two overlapping captures at most; more would only hold memory.
constexpr size_t kMaxIdlePerKey = 2;
constexpr size_t kMaxKeys = 3;
constexpr int kDeadlineMs = 30000;

struct EnginePool
{
    QMutex mutex;
    // Key: data folder and languages. The order of keys is most recently used last.
    std::vector<std::pair<QString, std::vector<Engine>>> idle;
};

EnginePool &pool()
{
    static EnginePool instance;
    return instance;
}

Engine takeIdle(const QString &key)
{
    EnginePool &p = pool();
    QMutexLocker lock(&p.mutex);
    for (auto &[k, engines] : p.idle) {
        if (k == key && !engines.empty()) {
            Engine engine = std::move(engines.back());
            engines.pop_back();
            return engine;
        }
    }
    return nullptr;
}

void giveBack(const QString &key, Engine engine)
{
    EnginePool &p = pool();
    QMutexLocker lock(&p.mutex);
    auto it =
        std::find_if(p.idle.begin(), p.idle.end(), [&](const auto &e) { return e.first == key; });
    std::vector<Engine> engines;
    if (it != p.idle.end()) {
        engines = std::move(it->second);
        p.idle.erase(it);
    }
    if (engines.size() < kMaxIdlePerKey)
        engines.push_back(std::move(engine));
    p.idle.emplace_back(key, std::move(engines));
    while (p.idle.size() > kMaxKeys)
        p.idle.erase(p.idle.begin());
}

Engine createEngine(const QString &dataDirectory, const QStringList &dataNames)
{
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    // The engine's own chatter ("Empty page!!", resolution warnings) is not for our users.
    std::vector<std::string> names = {"debug_file"};
    std::vector<std::string> values = {"/dev/null"};
    const QByteArray directory = dataDirectory.toLocal8Bit();
    const QByteArray languages = dataNames.join(QLatin1Char('+')).toUtf8();
    if (engine->Init(directory.constData(), languages.constData(), tesseract::OEM_LSTM_ONLY,
                     nullptr, 0, &names, &values, false) != 0) {
        return nullptr;
    }
    // Tesseract keeps the dictionaries in a static cache made with the first engine. The warm
    // engines must end before that cache is destroyed at exit, or it drops the dictionaries they
    // still hold (a leak checker's finding); an exit handler registered after the cache was made
    // runs before its destructor.
    static const bool isReleasedAtExit =
        std::atexit([] { TesseractEngine::releaseIdleEngines(); }) == 0;
    Q_UNUSED(isReleasedAtExit);
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    return engine;
}

// libgomp reads OMP_THREAD_LIMIT once, when the library loads, long before main(), and the
// engine asks for its thread counts explicitly, so neither the variable nor omp_set_num_threads
// helps. Allowing no active parallel level makes every parallel region run on the calling
// thread. The runtime is found at run time so that a build without OpenMP still works.
struct OpenMp
{
    void (*setMaxActiveLevels)(int) = nullptr;
    int defaultMaxActiveLevels = 1;
};

const OpenMp &openMp()
{
    static const OpenMp instance = [] {
        OpenMp found;
        found.setMaxActiveLevels =
            reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
        auto getMaxActiveLevels =
            reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "omp_get_max_active_levels"));
        if (getMaxActiveLevels)
            found.defaultMaxActiveLevels = getMaxActiveLevels();
        return found;
    }();
    return instance;
}

std::atomic<bool> g_isSingleThreaded{true};

void applyThreadLimit()
{
    const OpenMp &omp = openMp();
    if (omp.setMaxActiveLevels)
        omp.setMaxActiveLevels(g_isSingleThreaded ? 0 : omp.defaultMaxActiveLevels);
}

// The ink of "Phone: 0800" ends at the baseline while "Mail jenny@example.org" reaches below it,
// and paragraphs are found from the gaps between line boxes; so a line's box spans its row's
// ascenders and descenders, whatever its own letters are. The row measurements come from the
// engine's fit of the whole row; an implausible fit leaves the ink box alone.
QRect withTypographicHeight(const tesseract::ResultIterator &iterator, const QRect &ink)
{
    if (ink.isEmpty())
        return ink;
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    if (!iterator.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2))
        return ink;
    float rowHeight = 0;
    float descenders = 0;
    float ascenders = 0;
    iterator.RowAttributes(&rowHeight, &descenders, &ascenders);
    if (!std::isfinite(rowHeight) || !std::isfinite(descenders) || rowHeight <= 0 ||
        rowHeight > 3.0f * float(ink.height()) || descenders > 0)
        return ink;
    const double baseline = (y1 + y2) / 2.0;
    const int top = std::min(ink.top(), int(std::lround(baseline - rowHeight - descenders)));
    const int bottom = std::max(ink.top() + ink.height(), int(std::lround(baseline - descenders)));
    return QRect(ink.left(), top, ink.width(), bottom - top);
}

struct LineReading
{
    QString text;
    QRect box;             // the row's full height, for placing the line among the others
    QRect inkBox;          // the words' own ink
    double confidence = 0; // mean of the words'
};

// A text line read word by word. The engine's own line string pads words it could not read
// (pictures, QR codes beside the text) with spaces and stretches the line's box over them, which
// would put the line in the wrong place among the others; only the words with text count.
LineReading readLine(tesseract::ResultIterator &iterator)
{
    LineReading line;
    QStringList words;
    double confidenceSum = 0;
    do {
        const std::unique_ptr<char[]> raw(iterator.GetUTF8Text(tesseract::RIL_WORD));
        const QString word = raw ? QString::fromUtf8(raw.get()).trimmed() : QString();
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        if (!word.isEmpty() &&
            iterator.BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) {
            words.append(word);
            line.box = line.box.united(QRect(left, top, right - left, bottom - top));
            confidenceSum += double(iterator.Confidence(tesseract::RIL_WORD));
        }
    } while (!iterator.IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_WORD) &&
             iterator.Next(tesseract::RIL_WORD));
    line.text = words.join(QLatin1Char(' '));
    line.inkBox = line.box;
    line.confidence = words.isEmpty() ? 0 : confidenceSum / double(words.size());
    line.box = withTypographicHeight(iterator, line.box);
    return line;
}

// Page layout analysis sometimes leaves part of a line out of every block: in code, a lone "="
// or "= 7;" after a wide gap reads as a column of its own that is then discarded as noise, and
// the words are silently lost, or the rest of the row comes back as a separate line. Ink that
// continues a line's row to the right, confined to the row's height and belonging to no line,
// is such a lost piece; the row is then read again as one line, taking in the lines beside it.
struct LostPiece
{
    QRect strip;                  // the row to read again, in prepared pixels
    QList<qsizetype> besideLines; // lines on the same row that the strip takes in
};

bool isOnSameRow(const QRect &a, const QRect &b)
{
    const int overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) + 1;
    return overlap * 2 >= std::min(a.height(), b.height()) &&
           std::max(a.height(), b.height()) <= 2 * std::min(a.height(), b.height());
}

std::optional<LostPiece> lostPieceOfRow(const QImage &image, const QList<LineReading> &lines,
                                        qsizetype index)
{
    constexpr int kInk = 128;
    const QRect ink = lines.at(index).inkBox;
    const int height = ink.height();
    if (height < 4)
        return std::nullopt;
    const int top = std::max(0, ink.top() - height / 4);
    const int bottom = std::min(image.height() - 1, ink.bottom() + height / 4);
    const QRect band(0, top, image.width(), bottom - top + 1);
    // The lines that reach into this row, found once: the scan below asks about them per column.
    QList<qsizetype> nearby;
    for (qsizetype other = 0; other < lines.size(); ++other) {
        const QRect box = lines.at(other).inkBox;
        if (other != index && box.right() > ink.right() && box.intersects(band))
            nearby.append(other);
    }
    LostPiece piece;
    int end = ink.right();
    int lastWords = ink.right(); // where the last line's words on this row end
    bool hasLostInk = false;
    int gap = 0;
    for (int x = ink.right() + 1; x < image.width(); ++x) {
        bool isInLine = false;
        bool isBlocked = false;
        for (qsizetype other : nearby) {
            const QRect box = lines.at(other).inkBox;
            if (x < box.left() || x > box.right())
                continue;
            if (isOnSameRow(ink, box) && !piece.besideLines.contains(other)) {
                piece.besideLines.append(other);
                x = box.right();
                end = lastWords = x;
                gap = 0;
                isInLine = true;
            } else {
                // A line of another size or on another row: a different column.
                isBlocked = true;
            }
            break;
        }
        if (isBlocked)
            break;
        if (isInLine)
            continue;
        bool hasInk = false;
        bool isTaller = false;
        for (int y = top; y <= bottom && !isTaller; ++y) {
            if (image.constScanLine(y)[x] >= kInk)
                continue;
            hasInk = true;
            // Something taller than the row (a picture, a code, a rule) is not lost text.
            isTaller = y == top || y == bottom;
        }
        if (isTaller)
            break;
        if (hasInk) {
            end = x;
            gap = 0;
            hasLostInk = hasLostInk || x > lastWords + height / 4;
        } else if (++gap > 2 * height) {
            break;
        }
    }
    if (!hasLostInk)
        return std::nullopt;
    const int left = std::max(0, ink.left() - height / 2);
    const int right = std::min(image.width() - 1, end + height / 2);
    piece.strip = QRect(QPoint(left, top), QPoint(right, bottom));
    // Only the lines the strip takes in whole are read again with it.
    piece.besideLines.removeIf(
        [&](qsizetype other) { return lines.at(other).inkBox.right() > right; });
    return piece;
}

// The strip read as one line. Its words replace the row's when they hold more than the row's
// lines did and the engine is about as sure of them; the lines beside are then taken in.
bool readRowAgain(tesseract::TessBaseAPI &engine, QList<LineReading> &lines, qsizetype index,
                  const LostPiece &piece, int deadlineMs)
{
    engine.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    engine.SetRectangle(piece.strip.left(), piece.strip.top(), piece.strip.width(),
                        piece.strip.height());
    tesseract::ETEXT_DESC monitor;
    monitor.set_deadline_msecs(deadlineMs);
    const bool isRead = engine.Recognize(&monitor) == 0;
    engine.SetPageSegMode(tesseract::PSM_AUTO);
    if (!isRead)
        return false;
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (!iterator)
        return false;
    iterator->Begin();
    if (iterator->Empty(tesseract::RIL_WORD))
        return false;
    const LineReading again = readLine(*iterator);
    LineReading &line = lines[index];
    qsizetype length = line.text.size();
    double leastConfidence = line.confidence;
    for (qsizetype other : piece.besideLines) {
        length += 1 + lines.at(other).text.size();
        leastConfidence = std::min(leastConfidence, lines.at(other).confidence);
    }
    constexpr double kConfidenceMargin = 10;
    constexpr double kSureEnough = 80;
    if (again.text.size() <= length ||
        again.confidence < std::min(leastConfidence, kSureEnough) - kConfidenceMargin)
        return false;
    line.text = again.text;
    line.confidence = again.confidence;
    line.box = line.box.united(again.box);
    line.inkBox = line.inkBox.united(again.inkBox);
    for (qsizetype other : piece.besideLines) {
        line.box = line.box.united(lines.at(other).box);
        line.inkBox = line.inkBox.united(lines.at(other).inkBox);
    }
    return true;
}

std::optional<QList<RecognizedLine>> readLines(tesseract::TessBaseAPI &engine,
                                               const PreparedImage &prepared)
{
    const QImage &image = prepared.image;
    engine.SetImage(image.constBits(), image.width(), image.height(), 1, int(image.bytesPerLine()));
    engine.SetSourceResolution(prepared.resolution);
    // A screenful takes well under a second; a huge capture of noise could take minutes. Past
    // the deadline the engine stops and what it read so far is kept.
    QElapsedTimer clock;
    clock.start();
    tesseract::ETEXT_DESC monitor;
    monitor.set_deadline_msecs(kDeadlineMs);
    if (engine.Recognize(&monitor) != 0)
        return std::nullopt;
    QList<LineReading> readings;
    {
        const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
        if (!iterator)
            return QList<RecognizedLine>();
        iterator->Begin();
        do {
            if (iterator->Empty(tesseract::RIL_WORD))
                break;
            LineReading line = readLine(*iterator);
            if (!line.text.isEmpty())
                readings.append(std::move(line));
        } while (iterator->Next(tesseract::RIL_WORD));
    }
    QList<bool> isTakenIn(readings.size(), false);
    for (qsizetype i = 0; i < readings.size(); ++i) {
        // The rows read again share the page's deadline.
        const auto remainingMs = int(kDeadlineMs - clock.elapsed());
        if (remainingMs <= 0)
            break;
        if (isTakenIn.at(i))
            continue;
        const std::optional<LostPiece> piece = lostPieceOfRow(image, readings, i);
        if (piece && readRowAgain(engine, readings, i, *piece, remainingMs)) {
            for (qsizetype other : piece->besideLines)
                isTakenIn[other] = true;
        }
    }
    QList<RecognizedLine> lines;
    for (qsizetype i = 0; i < readings.size(); ++i) {
        if (!isTakenIn.at(i))
            lines.append({readings.at(i).text, prepared.normalizedBox(readings.at(i).box)});
    }
    return lines;
}

} // namespace

namespace TesseractEngine {

std::optional<QList<RecognizedLine>> recognizeLines(const PreparedImage &prepared,
                                                    const QString &dataDirectory,
                                                    const QStringList &dataNames)
{
    if (prepared.image.isNull() || dataNames.isEmpty())
        return std::nullopt;
    applyThreadLimit();
    const QString key = dataDirectory + QLatin1Char('|') + dataNames.join(QLatin1Char('+'));
    Engine engine = takeIdle(key);
    if (!engine)
        engine = createEngine(dataDirectory, dataNames);
    if (!engine)
        return std::nullopt;
    std::optional<QList<RecognizedLine>> lines;
    try {
        lines = readLines(*engine, prepared);
    } catch (...) {
        lines = std::nullopt;
    }
    engine->Clear();
    giveBack(key, std::move(engine));
    return lines;
}

void setSingleThreaded(bool isSingleThreaded)
{
    g_isSingleThreaded = isSingleThreaded;
}

bool canLimitThreads()
{
    return openMp().setMaxActiveLevels != nullptr;
}

void releaseIdleEngines()
{
    EnginePool &p = pool();
    QMutexLocker lock(&p.mutex);
    p.idle.clear();
}

} // namespace TesseractEngine
