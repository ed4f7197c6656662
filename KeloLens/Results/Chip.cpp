// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/Chip.h"

#include "KeloLens/Results/DataDetector.h"

#include <QSet>

namespace {

// The identity of a link: two spellings of one URL ("HTTP://Example.com", "http://example.com")
// must meet, whether they came from the text or from a code.
QString linkId(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}

QString numericCharacters(const QString &text)
{
    QString digits;
    for (char32_t codePoint : text.toUcs4()) {
        if (QChar::isNumber(codePoint)) {
            digits += QString::fromUcs4(&codePoint, 1);
        }
    }
    return digits;
}

std::optional<Chip> chipForMatch(const QString &text, const DataDetectorMatch &match)
{
    const QString matched = text.mid(match.start, match.length);
    switch (match.type) {
    case DataDetectorMatch::Type::link: {
        if (!match.url) {
            return std::nullopt;
        }
        const QUrl &url = *match.url;
        if (url.scheme().toLower() == u"mailto") {
            // Decoded: "{a|b}@example.com" is the address as written, not as a URL escapes it.
            const QString address = QUrl::fromPercentEncoding(url.toEncoded().mid(7));
            return Chip{address.toLower(), address, QStringLiteral("Email"),
                        ChipKind::email(address)};
        }
        return Chip{linkId(url), matched, QStringLiteral("Link"), ChipKind::link(url)};
    }
    case DataDetectorMatch::Type::phoneNumber:
        if (!match.phoneNumber) {
            return std::nullopt;
        }
        return Chip{numericCharacters(*match.phoneNumber), *match.phoneNumber,
                    QStringLiteral("Phone"), ChipKind::phone(*match.phoneNumber)};
    }
    return std::nullopt;
}

Chip chipForCode(const DetectedCode &code)
{
    switch (code.kind) {
    case CodeKind::url: {
        const QUrl url(code.payload, QUrl::TolerantMode);
        const bool parses = url.isValid() && !url.scheme().isEmpty();
        return {parses ? linkId(url) : code.payload, code.payload, QStringLiteral("Link"),
                ChipKind::code(code)};
    }
    case CodeKind::wifi: {
        const auto credentials = code.wifiCredentials();
        const QString label =
            credentials && !credentials->ssid.isEmpty() ? credentials->ssid : code.payload;
        return {code.payload, label, QStringLiteral("Wi-Fi"), ChipKind::code(code)};
    }
    case CodeKind::contact:
        return {code.payload, code.payload, QStringLiteral("Contact"), ChipKind::code(code)};
    case CodeKind::text:
        break;
    }
    const QString badge = code.symbology == u"QR" ? QStringLiteral("Text") : code.symbology;
    return {code.payload, code.payload, badge, ChipKind::code(code)};
}

} // namespace

QString ChipKind::name() const
{
    static const char *const names[] = {"link", "email", "phone", "code"};
    return QString::fromLatin1(names[value.index()]);
}

QList<Chip> extractChips(const QString &text, const QList<DetectedCode> &codes)
{
    return extractChips(text, codes, DataDetector());
}

QList<Chip> extractChips(const QString &text, const QList<DetectedCode> &codes,
                         const DataDetector &detector)
{
    QList<Chip> chips;
    QSet<QString> seen;
    const auto add = [&](const Chip &chip) {
        if (seen.contains(chip.id)) {
            return;
        }
        seen.insert(chip.id);
        chips.append(chip);
    };
    if (!text.isEmpty()) {
        for (const DataDetectorMatch &match : detector.matches(text)) {
            if (const auto chip = chipForMatch(text, match)) {
                add(*chip);
            }
        }
    }
    for (const DetectedCode &code : codes) {
        add(chipForCode(code));
    }
    return chips;
}
