// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/PayloadClassification.h"

#include <QHash>
#include <QTextBoundaryFinder>
#include <QUrl>

#include <array>

namespace {

// Whole-character prefix test: "WIFI:" followed by a combining mark on the colon is a different
// character, not the prefix.
bool hasCharacterPrefix(const QString &text, QStringView prefix)
{
    if (!text.startsWith(prefix)) {
        return false;
    }
    if (text.size() == prefix.size()) {
        return true;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(prefix.size());
    return finder.isAtBoundary();
}

// Field keys in the order they are tested. Each is one letter and a colon.
constexpr std::array<char16_t, 7> wifiKeys = {u'T', u'S', u'P', u'H', u'E', u'A', u'I'};

// Reads a Wi-Fi payload one user-perceived character at a time. Characters are views into the
// payload between its grapheme boundaries, found once: a copy per character made every payload
// cost an allocation per character.
class WifiFieldReader
{
public:
    // Starts reading after the first `skipped` characters.
    WifiFieldReader(const QString &text, qsizetype skipped) : m_text(text)
    {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        qsizetype start = 0;
        while (start < text.size()) {
            m_starts.append(start);
            finder.setPosition(start);
            const qsizetype end = finder.toNextBoundary();
            start = end > start ? end : text.size();
        }
        m_starts.append(text.size());
        m_position = std::min(skipped, count());
    }

    [[nodiscard]] bool atEnd() const { return m_position >= count(); }
    [[nodiscard]] QStringView peek(qsizetype offset = 0) const
    {
        const qsizetype i = m_position + offset;
        if (i >= count()) {
            return {};
        }
        return QStringView(m_text).mid(m_starts.at(i), m_starts.at(i + 1) - m_starts.at(i));
    }
    void advance(qsizetype count = 1) { m_position += count; }

    // The stored key ("T", "S", ...) when the input starts with one of the seven keys.
    [[nodiscard]] std::optional<QChar> keyAtStart() const
    {
        if (peek(1) != u":") {
            return std::nullopt;
        }
        const QStringView letter = peek();
        for (char16_t key : wifiKeys) {
            if (letter.size() == 1 && letter.at(0) == QChar(key)) {
                return QChar(key);
            }
        }
        return std::nullopt;
    }

    QString readValue()
    {
        QString value;
        while (!atEnd()) {
            const QStringView c = peek();
            advance();
            if (c == u"\\") {
                if (atEnd()) {
                    value += c;
                    break;
                }
                value += peek();
                advance();
            } else if (c == u";") {
                if (atEnd() || peek() == u";" || keyAtStart()) {
                    break;
                }
                value += c;
            } else {
                value += c;
            }
        }
        return value;
    }

private:
    [[nodiscard]] qsizetype count() const { return m_starts.size() - 1; }

    const QString &m_text;
    // Where each character starts, then the end of the text.
    QList<qsizetype> m_starts;
    qsizetype m_position = 0;
};

} // namespace

CodeKind classifyPayload(const QString &payload)
{
    const QString upper = payload.toUpper();
    if (hasCharacterPrefix(upper, u"WIFI:")) {
        return CodeKind::wifi;
    }
    if (hasCharacterPrefix(upper, u"BEGIN:VCARD") || hasCharacterPrefix(upper, u"MECARD:")) {
        return CodeKind::contact;
    }
    const QUrl url(payload, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        return CodeKind::text;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")) {
        return CodeKind::text;
    }
    return url.host().isEmpty() ? CodeKind::text : CodeKind::url;
}

std::optional<WifiCredentials> wifiCredentials(const QString &payload, CodeKind kind)
{
    if (kind != CodeKind::wifi) {
        return std::nullopt;
    }
    // After "WIFI:".
    WifiFieldReader reader(payload, 5);

    QHash<QChar, QString> fields;
    while (const std::optional<QChar> key = reader.keyAtStart()) {
        reader.advance(2);
        fields.insert(*key, reader.readValue());
        while (reader.peek() == u";") {
            reader.advance();
        }
    }

    const QString ssid = fields.value(u'S');
    if (ssid.isEmpty()) {
        return std::nullopt;
    }
    const QString password = fields.value(u'P');
    return WifiCredentials{ssid, password.isEmpty() ? std::nullopt : std::optional(password)};
}
