// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/LinkDetector.h"

#include <algorithm>
#include <libpsl.h>
#include <memory>
#include <optional>

namespace {

const psl_ctx_t *publicSuffixList()
{
    // The system's copy of the list is kept current by its package; the compiled-in one is the
    // fallback. Loaded once and kept for the life of the process.
    static const std::unique_ptr<psl_ctx_t, void (*)(psl_ctx_t *)> list = [] {
        if (psl_ctx_t *latest = psl_latest(nullptr)) {
            return std::unique_ptr<psl_ctx_t, void (*)(psl_ctx_t *)>(latest, psl_free);
        }
        return std::unique_ptr<psl_ctx_t, void (*)(psl_ctx_t *)>(
            const_cast<psl_ctx_t *>(psl_builtin()), [](psl_ctx_t *) {});
    }();
    return list.get();
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool isAsciiAlnum(QChar c)
{
    return isAsciiLetter(c) || isAsciiDigit(c);
}

bool isWordLike(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c.isSurrogate();
}

// A character that can never be part of a link: it ends the link before it.
bool endsLink(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80) {
        return u <= 0x20 || u == 0x7f || u == '<' || u == '>' || u == '"' || u == '`' || u == '\\';
    }
    if (c.isSurrogate()) {
        return false;
    }
    return !(c.isLetterOrNumber() || c.isMark());
}

bool isHostCharacter(QChar c)
{
    if (c.unicode() < 0x80) {
        return isAsciiAlnum(c) || c == u'-';
    }
    return !c.isSurrogate() && (c.isLetterOrNumber() || c.isMark());
}

// Every character an address may hold unquoted before its "@", so that "pat.o'brien@..." gives
// the whole address and never a shorter, different one.
bool isLocalPartCharacter(QChar c)
{
    if (c.unicode() < 0x80) {
        return isAsciiAlnum(c) || QStringView(u".!#$%&'*+-/=?^_`{|}~").contains(c);
    }
    return !c.isSurrogate() && (c.isLetterOrNumber() || c.isMark());
}

// Marks that wrap an address in prose or markup ('pat@example.com', *pat@example.com*) and
// close again right after it.
QChar closingMark(QChar opening)
{
    if (opening == u'{') {
        return u'}';
    }
    return QStringView(u"'`*_~|").contains(opening) ? opening : QChar();
}

// Scripts written without spaces between words: "詳細はhttps://example.com" holds a link.
bool isUnspacedScript(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Thai:
    case QChar::Script_Lao:
    case QChar::Script_Khmer:
    case QChar::Script_Myanmar:
        return true;
    default:
        return false;
    }
}

// Whether a link may start at `pos`: a link glued to a word, a path or another address is part
// of that, not a link of its own.
bool isLinkStart(const QString &text, qsizetype pos)
{
    if (pos == 0) {
        return true;
    }
    const QChar before = text.at(pos - 1);
    if (isWordLike(before)) {
        return isUnspacedScript(before) && text.at(pos).unicode() < 0x80;
    }
    static const QString glue = QStringLiteral("-_.@/\\%+~=&#$");
    return !glue.contains(before);
}

struct HostScan
{
    qsizetype end = 0;
    qsizetype lastLabelStart = 0;
    int labelCount = 0;
};

// Dot-separated labels from `pos`. A dot not followed by another label is left out, so a
// sentence's final period stays outside.
std::optional<HostScan> scanHost(const QString &text, qsizetype pos)
{
    HostScan scan;
    qsizetype i = pos;
    const qsizetype n = text.size();
    for (;;) {
        const qsizetype labelStart = i;
        while (i < n && isHostCharacter(text.at(i))) {
            ++i;
        }
        const qsizetype labelLength = i - labelStart;
        if (labelLength == 0 || labelLength > 63 || text.at(labelStart) == u'-' ||
            text.at(i - 1) == u'-') {
            return std::nullopt;
        }
        ++scan.labelCount;
        scan.lastLabelStart = labelStart;
        scan.end = i;
        if (i + 1 < n && text.at(i) == u'.' && isHostCharacter(text.at(i + 1))) {
            ++i;
        } else {
            return scan;
        }
    }
}

bool hasValidTopLevelDomain(const QString &text, const HostScan &host, bool requireSingleCase)
{
    const QString label = text.mid(host.lastLabelStart, host.end - host.lastLabelStart);
    if (label.size() < 2) {
        return false;
    }
    bool hasUpper = false;
    bool hasLower = false;
    const bool isAce = label.startsWith(QLatin1String("xn--"), Qt::CaseInsensitive);
    for (QChar c : label) {
        if (!isAce && !(c.isLetter() || c.isMark())) {
            return false;
        }
        hasUpper = hasUpper || c.isUpper();
        hasLower = hasLower || c.isLower();
    }
    // "end.Then" is a missing space after a sentence, not a host in the ".then" domain.
    if (requireSingleCase && hasUpper && hasLower) {
        return false;
    }
    return LinkDetector::isTopLevelDomain(label);
}

// Where a link ends once the punctuation that belongs to the sentence around it is left out:
// a final period, comma or quote, and closing brackets that have no opening one in the link.
qsizetype trimTrailing(const QString &text, qsizetype start, qsizetype end)
{
    static constexpr char16_t opens[] = {u'(', u'[', u'{'};
    static constexpr char16_t closes[] = {u')', u']', u'}'};
    qsizetype balance[3] = {0, 0, 0};
    for (qsizetype i = start; i < end; ++i) {
        for (int k = 0; k < 3; ++k) {
            if (text.at(i) == opens[k]) {
                ++balance[k];
            } else if (text.at(i) == closes[k]) {
                --balance[k];
            }
        }
    }
    static const QString sentencePunctuation = QStringLiteral(".,:;!?'*");
    while (end > start) {
        const QChar last = text.at(end - 1);
        if (sentencePunctuation.contains(last)) {
            --end;
            continue;
        }
        int bracket = -1;
        for (int k = 0; k < 3; ++k) {
            if (last == closes[k]) {
                bracket = k;
            }
        }
        if (bracket >= 0 && balance[bracket] < 0) {
            ++balance[bracket];
            --end;
            continue;
        }
        break;
    }
    return end;
}

// The rest of a link from `pos`: everything up to a character no link holds. A link opened by a
// quote also ends at the same quote.
qsizetype scanBody(const QString &text, qsizetype linkStart, qsizetype pos)
{
    const QChar quote = linkStart > 0 && text.at(linkStart - 1) == u'\'' ? u'\'' : QChar();
    qsizetype i = pos;
    while (i < text.size() && !endsLink(text.at(i)) && (quote.isNull() || text.at(i) != quote)) {
        ++i;
    }
    return i;
}

// An optional ":port" and "/path", "?query" or "#fragment" after a host.
qsizetype scanAfterHost(const QString &text, qsizetype linkStart, qsizetype hostEnd,
                        qsizetype &scannedTo)
{
    qsizetype end = hostEnd;
    const qsizetype n = text.size();
    if (end + 1 < n && text.at(end) == u':' && isAsciiDigit(text.at(end + 1))) {
        qsizetype i = end + 1;
        while (i < n && isAsciiDigit(text.at(i))) {
            ++i;
        }
        if (i - end - 1 <= 5 && (i == n || !isWordLike(text.at(i)))) {
            end = i;
        }
    }
    if (end < n && (text.at(end) == u'/' || text.at(end) == u'?' || text.at(end) == u'#')) {
        scannedTo = scanBody(text, linkStart, end);
        end = trimTrailing(text, linkStart, scannedTo);
    }
    return end;
}

std::optional<LinkMatch> makeMatch(qsizetype start, qsizetype end, const QString &urlText)
{
    const QUrl url(urlText, QUrl::TolerantMode);
    if (!url.isValid() || url.isEmpty()) {
        return std::nullopt;
    }
    return LinkMatch{start, end - start, url};
}

// Where the "user@host:port" part starting at `pos` ends: at the first character that is valid
// neither in a host name, an IP literal or a port, nor in the user part before an "@".
qsizetype authorityEndOf(const QString &text, qsizetype pos, qsizetype end)
{
    static const QString hostExtras = QStringLiteral(".:[]%_~");
    static const QString userExtras = QStringLiteral(".:%_~!$&'()*+,;=-");
    qsizetype hostStart = pos;
    for (qsizetype i = pos; i < end && !QStringLiteral("/?#").contains(text.at(i)); ++i) {
        if (text.at(i) == u'@') {
            hostStart = i + 1;
        } else if (!isHostCharacter(text.at(i)) && !userExtras.contains(text.at(i))) {
            break;
        }
    }
    qsizetype i = hostStart;
    while (i < end && (isHostCharacter(text.at(i)) || hostExtras.contains(text.at(i)))) {
        ++i;
    }
    return i;
}

std::optional<LinkMatch> schemeLinkAt(const QString &text, qsizetype pos, qsizetype &scannedTo)
{
    const qsizetype n = text.size();
    if (!isAsciiLetter(text.at(pos))) {
        return std::nullopt;
    }
    qsizetype i = pos + 1;
    while (i < n && (isAsciiAlnum(text.at(i)) || text.at(i) == u'+' || text.at(i) == u'-' ||
                     text.at(i) == u'.')) {
        ++i;
    }
    if (QStringView(text).mid(i, 3) != u"://") {
        return std::nullopt;
    }
    const qsizetype bodyStart = i + 3;
    scannedTo = scanBody(text, pos, bodyStart);
    qsizetype end = trimTrailing(text, pos, scannedTo);
    if (end <= bodyStart) {
        return std::nullopt;
    }
    const QString scheme = text.mid(pos, i - pos).toLower();
    const bool needsHost = scheme == u"http" || scheme == u"https" || scheme == u"ftp";
    if (needsHost) {
        if (!isHostCharacter(text.at(bodyStart)) && text.at(bodyStart) != u'[') {
            return std::nullopt;
        }
        // A web address's host ends at the first character no host holds: in
        // "https://a.com;https://b.com" the first link is "https://a.com".
        const qsizetype authorityEnd = authorityEndOf(text, bodyStart, end);
        if (authorityEnd < end && !QStringLiteral("/?#").contains(text.at(authorityEnd))) {
            end = authorityEnd;
        }
    }
    auto match = makeMatch(pos, end, text.mid(pos, end - pos));
    if (match && needsHost && match->url.host().isEmpty()) {
        return std::nullopt;
    }
    return match;
}

// The end of an e-mail address starting at `pos`, if one does.
std::optional<qsizetype> emailEndAt(const QString &text, qsizetype pos)
{
    const qsizetype n = text.size();
    // The tail of a longer run of address characters is not an address of its own.
    if (pos > 0 && isLocalPartCharacter(text.at(pos - 1))) {
        return std::nullopt;
    }
    qsizetype at = pos;
    while (at < n && isLocalPartCharacter(text.at(at))) {
        ++at;
    }
    if (at == pos || at + 1 >= n || text.at(at) != u'@') {
        return std::nullopt;
    }
    const QStringView local = QStringView(text).mid(pos, at - pos);
    if (local.startsWith(u'.') || local.endsWith(u'.') || local.contains(u"..")) {
        return std::nullopt;
    }
    const auto host = scanHost(text, at + 1);
    if (!host || host->labelCount < 2 || !hasValidTopLevelDomain(text, *host, false)) {
        return std::nullopt;
    }
    if (host->end < n && (text.at(host->end) == u'@' || text.at(host->end) == u'_')) {
        return std::nullopt;
    }
    return host->end;
}

std::optional<LinkMatch> emailAt(const QString &text, qsizetype pos)
{
    const auto end = emailEndAt(text, pos);
    if (!end) {
        return std::nullopt;
    }
    qsizetype start = pos;
    const QChar closing = closingMark(text.at(pos));
    if (!closing.isNull() && *end < text.size() && text.at(*end) == closing &&
        text.at(pos + 1) != u'@') {
        ++start;
    }
    return makeMatch(start, *end, QStringLiteral("mailto:") + text.mid(start, *end - start));
}

std::optional<LinkMatch> mailtoAt(const QString &text, qsizetype pos, qsizetype &scannedTo)
{
    static const QString prefix = QStringLiteral("mailto:");
    if (!QStringView(text).mid(pos).startsWith(prefix, Qt::CaseInsensitive)) {
        return std::nullopt;
    }
    const qsizetype addressStart = pos + prefix.size();
    if (addressStart >= text.size()) {
        return std::nullopt;
    }
    auto end = emailEndAt(text, addressStart);
    if (!end) {
        return std::nullopt;
    }
    if (*end < text.size() && text.at(*end) == u'?') {
        scannedTo = scanBody(text, pos, *end);
        end = trimTrailing(text, pos, scannedTo);
    }
    return makeMatch(pos, *end, prefix + text.mid(addressStart, *end - addressStart));
}

// Some country domains double as common file extensions. "main.py", "Makefile.in" or
// "config.h.in" on its own is far more often a file name than a web site; with a path
// ("docs.rs/serde") or "www." it is a link again.
bool looksLikeFileName(const QString &text, const HostScan &host)
{
    static const QStringList extensions = {
        QStringLiteral("ac"), QStringLiteral("ai"),  QStringLiteral("am"),  QStringLiteral("cc"),
        QStringLiteral("in"), QStringLiteral("md"),  QStringLiteral("mk"),  QStringLiteral("ml"),
        QStringLiteral("mo"), QStringLiteral("pl"),  QStringLiteral("pm"),  QStringLiteral("ps"),
        QStringLiteral("py"), QStringLiteral("rs"),  QStringLiteral("sh"),  QStringLiteral("so"),
        QStringLiteral("tf"), QStringLiteral("zip"), QStringLiteral("mov"),
    };
    const QString last = text.mid(host.lastLabelStart, host.end - host.lastLabelStart);
    return extensions.contains(last, Qt::CaseInsensitive);
}

std::optional<LinkMatch> hostLinkAt(const QString &text, qsizetype pos, qsizetype &scannedTo)
{
    const bool hasWww = QStringView(text).mid(pos, 4).compare(u"www.", Qt::CaseInsensitive) == 0;
    const auto host = scanHost(text, pos);
    if (!host || host->labelCount < 2) {
        return std::nullopt;
    }
    if (hasWww) {
        // "www." says "this is a web host" on its own; the last label only has to look like one.
        const QStringView last =
            QStringView(text).mid(host->lastLabelStart, host->end - host->lastLabelStart);
        if (last.size() < 2 || !std::all_of(last.begin(), last.end(), [](QChar c) {
                return c.isLetter() || c.isMark() || c == u'-';
            })) {
            return std::nullopt;
        }
    } else if (!hasValidTopLevelDomain(text, *host, true)) {
        return std::nullopt;
    }
    if (host->end < text.size() && (text.at(host->end) == u'@' || text.at(host->end) == u'_')) {
        return std::nullopt;
    }
    const qsizetype end = scanAfterHost(text, pos, host->end, scannedTo);
    if (!hasWww && end == host->end && looksLikeFileName(text, *host)) {
        return std::nullopt;
    }
    return makeMatch(pos, end, QStringLiteral("http://") + text.mid(pos, end - pos));
}

} // namespace

namespace LinkDetector {

QList<LinkMatch> find(const QString &text)
{
    QList<LinkMatch> links;
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (endsLink(text.at(pos)) || !isLinkStart(text, pos)) {
            ++pos;
            continue;
        }
        // A candidate whose rest did not make a valid URL is junk up to where its rest ended;
        // starting over inside it would rescan the same run again and again.
        qsizetype scannedTo = pos;
        std::optional<LinkMatch> match = schemeLinkAt(text, pos, scannedTo);
        if (!match) {
            match = mailtoAt(text, pos, scannedTo);
        }
        if (!match) {
            match = emailAt(text, pos);
        }
        if (!match) {
            match = hostLinkAt(text, pos, scannedTo);
        }
        if (match && match->length > 0) {
            links.append(*match);
            pos = match->start + match->length;
        } else {
            pos = std::max(pos + 1, scannedTo);
        }
    }
    return links;
}

bool isTopLevelDomain(const QString &label)
{
    const psl_ctx_t *list = publicSuffixList();
    if (!list || label.isEmpty() || label.contains(u'.')) {
        return false;
    }
    const QByteArray ace = QUrl::toAce(label.toLower());
    if (ace.isEmpty()) {
        return false;
    }
    return psl_is_public_suffix2(list, ace.constData(), PSL_TYPE_ICANN | PSL_TYPE_NO_STAR_RULE) !=
           0;
}

} // namespace LinkDetector
