// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloUpdates/Appcast.h"

#include <QXmlStreamReader>

namespace Appcast {
namespace {

const QString sparkleNamespace =
    QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

QUrl webAddress(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const bool isWeb = url.scheme() == u"https" || url.scheme() == u"http";
    return isWeb && url.isValid() && !url.host().isEmpty() ? url : QUrl();
}

bool isSparkle(const QXmlStreamReader &reader, QStringView name)
{
    return reader.namespaceUri() == sparkleNamespace && reader.name() == name;
}

AppcastItem readItem(QXmlStreamReader &reader)
{
    AppcastItem item;
    QUrl link;
    QUrl enclosure;
    while (reader.readNextStartElement()) {
        const bool plain = reader.namespaceUri().isEmpty();
        if (plain && reader.name() == u"title") {
            item.title = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (plain && reader.name() == u"description") {
            item.releaseNotes = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (plain && reader.name() == u"link") {
            link = webAddress(reader.readElementText(QXmlStreamReader::IncludeChildElements));
        } else if (plain && reader.name() == u"enclosure") {
            const QXmlStreamAttributes attributes = reader.attributes();
            enclosure = webAddress(attributes.value(QStringLiteral("url")).toString());
            // Element values, read before or after, win over the enclosure's attributes.
            if (item.version.isEmpty()) {
                item.version = attributes.value(sparkleNamespace, QStringLiteral("version"))
                                   .toString()
                                   .trimmed();
            }
            if (item.shortVersion.isEmpty()) {
                item.shortVersion =
                    attributes.value(sparkleNamespace, QStringLiteral("shortVersionString"))
                        .toString()
                        .trimmed();
            }
            reader.skipCurrentElement();
        } else if (isSparkle(reader, u"version")) {
            item.version = reader.readElementText().trimmed();
        } else if (isSparkle(reader, u"shortVersionString")) {
            item.shortVersion = reader.readElementText().trimmed();
        } else if (isSparkle(reader, u"releaseNotesLink")) {
            item.releaseNotesLink = webAddress(reader.readElementText());
        } else {
            reader.skipCurrentElement();
        }
    }
    item.downloadPage = link.isEmpty() ? enclosure : link;
    return item;
}

// A version as alternating runs of digits and of other characters, separators dropped.
QStringList tokens(const QString &version)
{
    QStringList result;
    QString current;
    bool currentIsDigits = false;
    for (const QChar c : version) {
        const bool isDigit = c.isDigit() && c.unicode() < 128;
        const bool isWord = c.isLetter();
        if (!isDigit && !isWord) {
            if (!current.isEmpty()) {
                result << current;
            }
            current.clear();
            continue;
        }
        if (!current.isEmpty() && isDigit != currentIsDigits) {
            result << current;
            current.clear();
        }
        current += c;
        currentIsDigits = isDigit;
    }
    if (!current.isEmpty()) {
        result << current;
    }
    return result;
}

bool isNumber(const QString &token)
{
    return !token.isEmpty() && token.front().isDigit();
}

int sign(qsizetype value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// Any length of digits, without converting (a feed may hold absurd numbers).
int compareNumbers(QString a, QString b)
{
    while (a.size() > 1 && a.front() == u'0') {
        a.remove(0, 1);
    }
    while (b.size() > 1 && b.front() == u'0') {
        b.remove(0, 1);
    }
    if (a.size() != b.size()) {
        return sign(a.size() - b.size());
    }
    return sign(a.compare(b));
}

} // namespace

std::variant<QList<AppcastItem>, QString> parse(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QList<AppcastItem> items;
    bool sawChannel = false;
    if (!reader.readNextStartElement() || reader.name() != u"rss") {
        return reader.hasError() ? reader.errorString()
                                 : QStringLiteral("The feed is not an RSS document.");
    }
    while (reader.readNextStartElement()) {
        if (reader.name() != u"channel") {
            reader.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (reader.readNextStartElement()) {
            if (reader.name() == u"item" && reader.namespaceUri().isEmpty()) {
                items << readItem(reader);
            } else {
                reader.skipCurrentElement();
            }
        }
    }
    if (reader.hasError()) {
        return QStringLiteral("The feed is not valid XML (line %1: %2).")
            .arg(reader.lineNumber())
            .arg(reader.errorString());
    }
    if (!sawChannel) {
        return QStringLiteral("The feed has no channel.");
    }
    return items;
}

std::optional<AppcastItem> newestItem(const QList<AppcastItem> &items)
{
    std::optional<AppcastItem> newest;
    for (const AppcastItem &item : items) {
        if (item.displayVersion().isEmpty()) {
            continue;
        }
        if (!newest || compareVersions(item.displayVersion(), newest->displayVersion()) > 0) {
            newest = item;
        }
    }
    return newest;
}

int compareVersions(const QString &a, const QString &b)
{
    const QStringList left = tokens(a);
    const QStringList right = tokens(b);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const QString x = i < left.size() ? left.at(i) : QString();
        const QString y = i < right.size() ? right.at(i) : QString();
        // A missing part is a zero against a number, and a release against a word.
        const QString l = x.isEmpty() && isNumber(y) ? QStringLiteral("0") : x;
        const QString r = y.isEmpty() && isNumber(x) ? QStringLiteral("0") : y;
        if (l.isEmpty() || r.isEmpty()) {
            return l.isEmpty() ? 1 : -1;
        }
        if (isNumber(l) != isNumber(r)) {
            return isNumber(l) ? 1 : -1;
        }
        const int order =
            isNumber(l) ? compareNumbers(l, r) : sign(l.compare(r, Qt::CaseInsensitive));
        if (order != 0) {
            return order;
        }
    }
    return 0;
}

} // namespace Appcast
