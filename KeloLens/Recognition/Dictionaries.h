// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/TextAssembly.h"

#include <QMutex>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class WordList;

// The word lists of the recognition languages, loaded on first use (a dictionary takes a few
// tens of milliseconds to load) and kept until idle memory is released. Thread-safe.
class Dictionaries
{
public:
    explicit Dictionaries(QString directory);
    ~Dictionaries();
    Dictionaries(const Dictionaries &) = delete;
    Dictionaries &operator=(const Dictionaries &) = delete;

    // Whether a word is one of any of the languages' (BCP 47 tags; none means the user's
    // languages and English); unset when none of them has a dictionary installed.
    [[nodiscard]] WordCheck checkFor(const QStringList &languages,
                                     const QStringList &userLanguages);

    // Drops the loaded word lists.
    void clear();

private:
    QString m_directory;
    QMutex m_mutex;
    std::map<QString, std::shared_ptr<const WordList>> m_loaded;
};
