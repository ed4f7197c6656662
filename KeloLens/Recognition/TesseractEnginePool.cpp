// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TesseractEnginePool.h"

#include <QMutexLocker>

#include <algorithm>
#include <string>
#include <tesseract/baseapi.h>

namespace {

// Every engine of the widest pass; more would only hold memory.
constexpr size_t maxIdlePerKey = 4;

QString keyOf(const QString &dataDirectory, const QStringList &dataNames)
{
    return dataDirectory + QLatin1Char('|') + dataNames.join(QLatin1Char('+'));
}

TesseractEnginePool::Engine createEngine(const QString &dataDirectory, const QStringList &dataNames)
{
    TesseractEnginePool::Engine engine(new tesseract::TessBaseAPI);
    // The engine's own chatter ("Empty page!!", resolution warnings) is not for our users.
    std::vector<std::string> names = {"debug_file"};
    std::vector<std::string> values = {"/dev/null"};
    const QByteArray directory = dataDirectory.toLocal8Bit();
    const QByteArray languages = dataNames.join(QLatin1Char('+')).toUtf8();
    if (engine->Init(directory.constData(), languages.constData(), tesseract::OEM_LSTM_ONLY,
                     nullptr, 0, &names, &values, false) != 0) {
        return nullptr;
    }
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    return engine;
}

} // namespace

void TesseractEnginePool::Deleter::operator()(tesseract::TessBaseAPI *engine) const
{
    delete engine;
}

TesseractEnginePool::Engine TesseractEnginePool::take(const QString &dataDirectory,
                                                      const QStringList &dataNames)
{
    if (dataNames.isEmpty()) {
        return nullptr;
    }
    const QString key = keyOf(dataDirectory, dataNames);
    {
        QMutexLocker lock(&m_mutex);
        for (auto &[k, engines] : m_idle) {
            if (k == key && !engines.empty()) {
                Engine engine = std::move(engines.back());
                engines.pop_back();
                return engine;
            }
        }
    }
    return createEngine(dataDirectory, dataNames);
}

void TesseractEnginePool::giveBack(const QString &dataDirectory, const QStringList &dataNames,
                                   Engine engine)
{
    if (!engine) {
        return;
    }
    engine->Clear();
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    const QString key = keyOf(dataDirectory, dataNames);
    QMutexLocker lock(&m_mutex);
    auto it = std::find_if(m_idle.begin(), m_idle.end(),
                           [&](const auto &entry) { return entry.first == key; });
    std::vector<Engine> engines;
    if (it != m_idle.end()) {
        engines = std::move(it->second);
        m_idle.erase(it);
    }
    if (engines.size() < maxIdlePerKey) {
        engines.push_back(std::move(engine));
    }
    m_idle.emplace_back(key, std::move(engines));
    while (m_idle.size() > m_maxKeys) {
        m_idle.erase(m_idle.begin());
    }
}

void TesseractEnginePool::clear()
{
    QMutexLocker lock(&m_mutex);
    m_idle.clear();
    // Tesseract keeps every word list it loaded in a process-wide cache after its engine has
    // gone; the Latin script model's lists of many languages alone hold some 80 MB. Only lists
    // no engine uses any more go.
    tesseract::TessBaseAPI::ClearPersistentCache();
}
