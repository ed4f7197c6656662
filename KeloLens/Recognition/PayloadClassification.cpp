#include "KeloLens/Recognition/PayloadClassification.h"

#include "KeloLens/Recognition/Graphemes.h"

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

// Reads a Wi-Fi payload one user-perceived character at a time.
class WifiFieldReader
{
public:
    explicit WifiFieldReader(QStringList clusters) : m_clusters(std::move(clusters)) {}

    [[nodiscard]] bool atEnd() const { return m_position >= m_clusters.size(); }
    [[nodiscard]] const QString &peek(qsizetype offset = 0) const
    {
        static const QString none;
        const qsizetype i = m_position + offset;
        return i < m_clusters.size() ? m_clusters.at(i) : none;
    }
    void advance(qsizetype count = 1) { m_position += count; }

    // The stored key ("T", "S", ...) when the input starts with one of the seven keys.
    [[nodiscard]] std::optional<QChar> keyAtStart() const
    {
        if (peek(1) != QStringLiteral(":")) {
            return std::nullopt;
        }
        const QString &letter = peek();
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
            const QString c = peek();
            advance();
            if (c == QStringLiteral("\\")) {
                if (atEnd()) {
                    value += c;
                    break;
                }
                value += peek();
                advance();
            } else if (c == QStringLiteral(";")) {
                if (atEnd() || peek() == QStringLiteral(";") || keyAtStart()) {
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
    QStringList m_clusters;
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
    QStringList clusters = Graphemes::split(payload);
    clusters.remove(0, std::min<qsizetype>(5, clusters.size()));
    WifiFieldReader reader(std::move(clusters));

    QHash<QChar, QString> fields;
    while (const std::optional<QChar> key = reader.keyAtStart()) {
        reader.advance(2);
        fields.insert(*key, reader.readValue());
        while (reader.peek() == QStringLiteral(";")) {
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
