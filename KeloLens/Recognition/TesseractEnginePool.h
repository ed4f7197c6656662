// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

// Initialising an engine for a set of languages takes longer than reading a screenful, so
// engines are kept warm between recognitions: as many per set of languages as read at once, up
// to a limit, for the few sets used last. Thread-safe.
class TesseractEnginePool
{
public:
    struct Deleter
    {
        void operator()(tesseract::TessBaseAPI *engine) const;
    };
    using Engine = std::unique_ptr<tesseract::TessBaseAPI, Deleter>;

    // `maxKeys`: the sets of languages kept warm.
    explicit TesseractEnginePool(size_t maxKeys = 3) : m_maxKeys(maxKeys) {}
    TesseractEnginePool(const TesseractEnginePool &) = delete;
    TesseractEnginePool &operator=(const TesseractEnginePool &) = delete;

    // A warm engine for the languages, or a new one; null when their data cannot be loaded.
    [[nodiscard]] Engine take(const QString &dataDirectory, const QStringList &dataNames);
    // Hands an engine back for the next recognition, its last page cleared.
    void giveBack(const QString &dataDirectory, const QStringList &dataNames, Engine engine);
    // Drops the warm engines, so that the next recognition starts cold.
    void clear();

private:
    size_t m_maxKeys;
    QMutex m_mutex;
    // Key: data folder and languages. The order of keys is most recently used last.
    std::vector<std::pair<QString, std::vector<Engine>>> m_idle;
};
