// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/Dictionaries.h"

#include "KeloLens/Recognition/WordList.h"

#include <QMutexLocker>

#include <vector>

Dictionaries::Dictionaries(QString directory) : m_directory(std::move(directory)) {}

Dictionaries::~Dictionaries() = default;

WordCheck Dictionaries::checkFor(const QStringList &languages, const QStringList &userLanguages)
{
    QStringList tags = languages;
    if (tags.isEmpty()) {
        tags = userLanguages;
        tags.append(QStringLiteral("en"));
    }
    const QStringList installed = WordList::installedDictionaries(m_directory);
    QStringList names;
    for (const QString &tag : tags) {
        const std::optional<QString> name = WordList::dictionaryFor(tag, installed);
        if (name && !names.contains(*name)) {
            names.append(*name);
        }
    }
    std::vector<std::shared_ptr<const WordList>> lists;
    QMutexLocker lock(&m_mutex);
    for (const QString &name : names) {
        auto found = m_loaded.find(name);
        if (found == m_loaded.end()) {
            // A dictionary that cannot be loaded is remembered as such, and not tried again.
            found = m_loaded.emplace(name, WordList::load(m_directory, name)).first;
        }
        if (found->second) {
            lists.push_back(found->second);
        }
    }
    if (lists.empty()) {
        return {};
    }
    return [lists](const QString &word) {
        for (const std::shared_ptr<const WordList> &list : lists) {
            if (list->contains(word)) {
                return true;
            }
        }
        return false;
    };
}

void Dictionaries::clear()
{
    QMutexLocker lock(&m_mutex);
    m_loaded.clear();
}
