// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/WordList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutexLocker>
#include <QRegularExpression>

#include <cerrno>
#include <hunspell.hxx>
#include <iconv.h>
#include <string>

namespace {

// Longer words are not worth a lookup (and Hunspell refuses them anyway).
constexpr qsizetype longestWord = 100;

// A language tag's language and region, as dictionary names spell them ("pt", "BR").
std::pair<QString, QString> languageAndRegion(const QString &tag)
{
    const QStringList parts =
        tag.section(QRegularExpression(QStringLiteral("[.@]")), 0, 0)
            .split(QRegularExpression(QStringLiteral("[-_]")), Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        return {};
    }
    QString region;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts.at(i).size() == 2) {
            region = parts.at(i).toUpper();
            break;
        }
    }
    return {parts.first().toLower(), region};
}

// The dictionary's own encoding, from the SET line of its affix file; UTF-8 is the common case.
QByteArray encodingOf(const QString &affixPath)
{
    QFile affix(affixPath);
    if (!affix.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (int i = 0; i < 200 && !affix.atEnd(); ++i) {
        const QByteArray line = affix.readLine().trimmed();
        if (line.startsWith("SET ")) {
            return line.mid(4).trimmed();
        }
    }
    return QByteArrayLiteral("ISO8859-1");
}

bool isUtf8(const QByteArray &encoding)
{
    return encoding.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
           encoding.compare("UTF8", Qt::CaseInsensitive) == 0;
}

// The word in the dictionary's encoding; absent when it has no such characters.
std::optional<std::string> encoded(const QString &word, const QByteArray &encoding)
{
    const QByteArray utf8 = word.toUtf8();
    if (isUtf8(encoding)) {
        return utf8.toStdString();
    }
    iconv_t converter = iconv_open(encoding.constData(), "UTF-8");
    if (converter == iconv_t(-1)) {
        return std::nullopt;
    }
    std::string out(size_t(utf8.size()) * 4 + 4, '\0');
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *target = out.data();
    size_t outLeft = out.size();
    const size_t converted = iconv(converter, &in, &inLeft, &target, &outLeft);
    iconv_close(converter);
    if (converted == size_t(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace

WordList::WordList(QString name, std::unique_ptr<Hunspell> hunspell, QByteArray encoding)
    : m_name(std::move(name)), m_hunspell(std::move(hunspell)), m_encoding(std::move(encoding))
{
}

WordList::~WordList() = default;

QString WordList::dictionaryDirectory()
{
    static const QStringList candidates = {
        QStringLiteral("/usr/share/hunspell"),
        QStringLiteral("/usr/share/myspell/dicts"),
        QStringLiteral("/usr/local/share/hunspell"),
    };
    for (const QString &candidate : candidates) {
        if (QDir(candidate).exists()) {
            return candidate;
        }
    }
    return candidates.first();
}

QStringList WordList::installedDictionaries(const QString &directory)
{
    QStringList names;
    const QDir folder(directory);
    for (const QString &file :
         folder.entryList({QStringLiteral("*.dic")}, QDir::Files | QDir::Readable, QDir::Name)) {
        const QString name = file.chopped(4);
        if (folder.exists(name + QStringLiteral(".aff"))) {
            names.append(name);
        }
    }
    return names;
}

std::optional<QString> WordList::dictionaryFor(const QString &tag, const QStringList &installed)
{
    const auto [language, region] = languageAndRegion(tag);
    if (language.isEmpty()) {
        return std::nullopt;
    }
    QStringList candidates;
    for (const QString &name : installed) {
        if (languageAndRegion(name).first == language) {
            candidates.append(name);
        }
    }
    if (candidates.isEmpty()) {
        return std::nullopt;
    }
    QStringList regions;
    if (!region.isEmpty()) {
        regions.append(region);
    }
    // "en" means American English, "de" German as written in Germany, "pt" Brazilian.
    const QLocale::Language known = QLocale::codeToLanguage(language);
    if (known != QLocale::AnyLanguage && known != QLocale::C) {
        regions.append(QLocale::territoryToCode(QLocale(known).territory()));
    }
    for (const QString &wanted : regions) {
        for (const QString &name : candidates) {
            if (languageAndRegion(name).second == wanted) {
                return name;
            }
        }
    }
    return candidates.first();
}

std::unique_ptr<WordList> WordList::load(const QString &directory, const QString &name)
{
    const QString base = QDir(directory).filePath(name);
    const QString affix = base + QStringLiteral(".aff");
    const QString words = base + QStringLiteral(".dic");
    if (!QFileInfo(affix).isReadable() || !QFileInfo(words).isReadable()) {
        return nullptr;
    }
    QByteArray encoding = encodingOf(affix);
    if (encoding.isEmpty()) {
        return nullptr;
    }
    if (!isUtf8(encoding)) {
        iconv_t converter = iconv_open(encoding.constData(), "UTF-8");
        if (converter == iconv_t(-1)) {
            return nullptr;
        }
        iconv_close(converter);
    }
    auto hunspell = std::make_unique<Hunspell>(QFile::encodeName(affix).constData(),
                                               QFile::encodeName(words).constData());
    return std::unique_ptr<WordList>(
        new WordList(name, std::move(hunspell), std::move(encoding)));
}

bool WordList::contains(const QString &word) const
{
    if (word.isEmpty() || word.size() > longestWord) {
        return false;
    }
    const std::optional<std::string> bytes = encoded(word, m_encoding);
    if (!bytes) {
        return false;
    }
    QMutexLocker lock(&m_mutex);
    return m_hunspell->spell(*bytes);
}
