// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class Hunspell;

// The words of one language, from a Hunspell dictionary installed on the system. Tells a word
// split at a line end ("recog-" "nition") from a compound written with a hyphen ("self-"
// "contained"). Thread-safe.
class WordList
{
public:
    ~WordList();
    WordList(const WordList &) = delete;
    WordList &operator=(const WordList &) = delete;

    // Where the system's dictionaries live.
    [[nodiscard]] static QString dictionaryDirectory();

    // The names of the dictionaries in a folder ("en_US", "de_DE").
    [[nodiscard]] static QStringList installedDictionaries(const QString &directory);

    // The dictionary for a language tag ("en", "de-CH", "pt_BR"): the tag's own region, else the
    // region the language is mostly written in, else the first installed for the language.
    [[nodiscard]] static std::optional<QString> dictionaryFor(const QString &tag,
                                                              const QStringList &installed);

    // Null when the files are missing or unreadable, or their encoding cannot be converted.
    [[nodiscard]] static std::unique_ptr<WordList> load(const QString &directory,
                                                        const QString &name);

    [[nodiscard]] const QString &name() const { return m_name; }

    // Whether the word, in any letter case the dictionary allows, is one of the language's.
    [[nodiscard]] bool contains(const QString &word) const;

private:
    WordList(QString name, std::unique_ptr<Hunspell> hunspell, QByteArray encoding);

    QString m_name;
    std::unique_ptr<Hunspell> m_hunspell;
    QByteArray m_encoding;
    mutable QMutex m_mutex;
};
