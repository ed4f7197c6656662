// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/DataDetector.h"

#include "KeloLens/Results/LinkDetector.h"

#include <QLocale>

#include <algorithm>
#include <limits>
#include <phonenumbers/phonenumbermatch.h>
#include <phonenumbers/phonenumbermatcher.h>
#include <phonenumbers/phonenumberutil.h>
#include <set>
#include <string>
#include <vector>

namespace {

using i18n::phonenumbers::PhoneNumberMatch;
using i18n::phonenumbers::PhoneNumberMatcher;
using i18n::phonenumbers::PhoneNumberUtil;

bool isSupportedRegion(const QString &region)
{
    static const std::set<std::string> regions = [] {
        std::set<std::string> all;
        PhoneNumberUtil::GetInstance()->GetSupportedRegions(&all);
        return all;
    }();
    return regions.count(region.toStdString()) > 0;
}

// The text as UTF-8 together with, for every byte offset, the UTF-16 offset of the character it
// belongs to, so that the phone matcher's byte ranges map back onto the QString. Unpaired
// surrogates become U+FFFD, which keeps the UTF-8 valid (the matcher gives up on invalid input).
struct Utf8Text
{
    std::string bytes;
    std::vector<qsizetype> utf16Offsets; // one entry per byte, plus one for the end
};

Utf8Text toUtf8WithOffsets(const QString &text)
{
    Utf8Text out;
    out.bytes.reserve(size_t(text.size()) * 3 / 2);
    out.utf16Offsets.reserve(size_t(text.size()) * 3 / 2 + 1);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype start = i;
        char32_t codePoint = text.at(i).unicode();
        ++i;
        if (QChar::isHighSurrogate(codePoint) && i < n && text.at(i).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(char16_t(codePoint), text.at(i).unicode());
            ++i;
        } else if (QChar::isSurrogate(codePoint)) {
            codePoint = 0xFFFD;
        }
        char encoded[4];
        int length = 0;
        if (codePoint < 0x80) {
            encoded[length++] = char(codePoint);
        } else if (codePoint < 0x800) {
            encoded[length++] = char(0xC0 | (codePoint >> 6));
            encoded[length++] = char(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            encoded[length++] = char(0xE0 | (codePoint >> 12));
            encoded[length++] = char(0x80 | ((codePoint >> 6) & 0x3F));
            encoded[length++] = char(0x80 | (codePoint & 0x3F));
        } else {
            encoded[length++] = char(0xF0 | (codePoint >> 18));
            encoded[length++] = char(0x80 | ((codePoint >> 12) & 0x3F));
            encoded[length++] = char(0x80 | ((codePoint >> 6) & 0x3F));
            encoded[length++] = char(0x80 | (codePoint & 0x3F));
        }
        out.bytes.append(encoded, size_t(length));
        out.utf16Offsets.insert(out.utf16Offsets.end(), size_t(length), start);
    }
    out.utf16Offsets.push_back(n);
    return out;
}

// The phone numbers of one stretch of the text, with ranges in the whole text.
QList<DataDetectorMatch> phoneNumbersIn(const QString &text, qsizetype from, qsizetype to,
                                        const std::string &region)
{
    QList<DataDetectorMatch> found;
    const Utf8Text utf8 = toUtf8WithOffsets(text.mid(from, to - from));
    PhoneNumberMatcher matcher(*PhoneNumberUtil::GetInstance(), utf8.bytes, region,
                               PhoneNumberMatcher::VALID, std::numeric_limits<int>::max());
    PhoneNumberMatch match;
    while (matcher.HasNext() && matcher.Next(&match)) {
        const int startByte = match.start();
        const int endByte = match.end();
        if (startByte < 0 || endByte <= startByte || size_t(endByte) >= utf8.utf16Offsets.size()) {
            continue;
        }
        const qsizetype start = from + utf8.utf16Offsets[size_t(startByte)];
        const qsizetype end = from + utf8.utf16Offsets[size_t(endByte)];
        if (end <= start) {
            continue;
        }
        DataDetectorMatch phone;
        phone.type = DataDetectorMatch::Type::phoneNumber;
        phone.start = start;
        phone.length = end - start;
        phone.phoneNumber = text.mid(start, end - start);
        found.append(phone);
    }
    return found;
}

// The matcher's time grows with the square of its input, so long texts go to it in windows that
// end at white space. A number near a window's end is left to the next window, which starts no
// later than that number; no phone number is anywhere near `windowOverlap` characters long.
constexpr qsizetype windowSize = 4096;
constexpr qsizetype windowOverlap = 128;

QList<DataDetectorMatch> phoneNumbers(const QString &text, const QString &region)
{
    const std::string regionCode = region.toStdString();
    QList<DataDetectorMatch> found;
    const qsizetype n = text.size();
    qsizetype from = 0;
    while (from < n) {
        qsizetype to = std::min(n, from + windowSize);
        if (to < n) {
            qsizetype space = to;
            while (space > from + windowSize / 2 && !text.at(space - 1).isSpace()) {
                --space;
            }
            if (space > from + windowSize / 2) {
                to = space;
            }
        }
        const QList<DataDetectorMatch> inWindow = phoneNumbersIn(text, from, to, regionCode);
        if (to == n) {
            found.append(inWindow);
            break;
        }
        qsizetype next = to - windowOverlap;
        for (const DataDetectorMatch &phone : inWindow) {
            if (phone.start + phone.length < to - windowOverlap) {
                found.append(phone);
            } else {
                next = std::min(next, phone.start);
                break;
            }
        }
        // Start the next window after white space, so its first number is read from its start.
        while (next > from + 1 && !text.at(next - 1).isSpace() && next > to - 2 * windowOverlap) {
            --next;
        }
        from = std::max(next, from + 1);
    }
    return found;
}

// Numbers the matcher misses because they stand one space apart, as the columns of a contact
// table do once its rows are read as lines: "212 555 0123 212 555 0124" reads as one long number
// that is no valid one. A run of number-like tokens separated by single spaces is split into the
// longest stretches of tokens that are each a whole number on their own.
constexpr int maxTokensPerNumber = 6;
// A run of more tokens than this is a table of figures, not a few numbers side by side.
constexpr int maxTokensPerRun = 32;

bool isNumberCharacter(QChar c)
{
    return c.isDigit() || c == u'+' || c == u'(' || c == u')' || c == u'-' || c == u'.' ||
           c == u'/';
}

struct Token
{
    qsizetype start = 0;
    qsizetype end = 0;
    int digits = 0;
};

// Runs of number-like tokens one space apart, in text order. A token's trailing punctuation
// ("0123.", "0124,") is the sentence's, not the number's.
QList<QList<Token>> numberRuns(const QString &text)
{
    QList<QList<Token>> runs;
    QList<Token> run;
    const auto close = [&] {
        if (run.size() >= 2 && run.size() <= maxTokensPerRun) {
            runs.append(run);
        }
        run.clear();
    };
    const qsizetype n = text.size();
    qsizetype previousEnd = -1; // where the last token's characters ended, punctuation included
    qsizetype i = 0;
    while (i < n) {
        if (!isNumberCharacter(text.at(i))) {
            const bool isSingleSpace = previousEnd == i &&
                                       text.at(i).category() == QChar::Separator_Space &&
                                       i + 1 < n && isNumberCharacter(text.at(i + 1));
            if (!isSingleSpace) {
                close();
            }
            ++i;
            continue;
        }
        Token token{i, i, 0};
        while (i < n && isNumberCharacter(text.at(i))) {
            token.digits += text.at(i).isDigit() ? 1 : 0;
            ++i;
        }
        token.end = i;
        while (token.end > token.start && QStringLiteral(".-/(").contains(text.at(token.end - 1))) {
            --token.end;
        }
        // A token glued to a word ("A12") is part of that word, and so ends the run.
        const bool isGlued = (token.start > 0 && text.at(token.start - 1).isLetter()) ||
                             (i < n && text.at(i).isLetter());
        if (token.digits == 0 || isGlued) {
            close();
            previousEnd = -1;
            continue;
        }
        run.append(token);
        previousEnd = i;
    }
    close();
    return runs;
}

QList<DataDetectorMatch> numbersOneSpaceApart(const QString &text, const QList<Token> &run,
                                              const std::string &region)
{
    QList<DataDetectorMatch> found;
    qsizetype first = 0;
    while (first < run.size()) {
        bool isFound = false;
        for (qsizetype last = std::min(run.size(), first + maxTokensPerNumber) - 1;
             last >= first && !isFound; --last) {
            int digits = 0;
            for (qsizetype t = first; t <= last; ++t) {
                digits += run.at(t).digits;
            }
            // No valid number anywhere has fewer or more digits.
            if (digits < 7 || digits > 17) {
                continue;
            }
            const qsizetype start = run.at(first).start;
            const qsizetype end = run.at(last).end;
            const QList<DataDetectorMatch> whole = phoneNumbersIn(text, start, end, region);
            if (whole.size() == 1 && whole.first().start == start &&
                whole.first().length == end - start) {
                found.append(whole.first());
                first = last + 1;
                isFound = true;
            }
        }
        if (!isFound) {
            ++first;
        }
    }
    return found;
}

bool overlapsAny(const QList<DataDetectorMatch> &matches, qsizetype start, qsizetype end)
{
    return std::any_of(matches.begin(), matches.end(), [&](const DataDetectorMatch &m) {
        return m.start < end && start < m.start + m.length;
    });
}

} // namespace

DataDetector::DataDetector(const QString &defaultRegion)
    : m_region(isSupportedRegion(defaultRegion.toUpper()) ? defaultRegion.toUpper()
                                                          : QStringLiteral("US"))
{
}

QString DataDetector::systemRegion()
{
    const QLocale::Territory territory = QLocale::system().territory();
    if (territory == QLocale::AnyTerritory) {
        return QStringLiteral("US");
    }
    const QString code = QLocale::territoryToCode(territory);
    return code.size() == 2 ? code : QStringLiteral("US");
}

QList<DataDetectorMatch> DataDetector::matches(const QString &text) const
{
    QList<DataDetectorMatch> all;
    if (text.isEmpty()) {
        return all;
    }
    for (const LinkMatch &link : LinkDetector::find(text)) {
        DataDetectorMatch match;
        match.type = DataDetectorMatch::Type::link;
        match.start = link.start;
        match.length = link.length;
        match.url = link.url;
        all.append(match);
    }
    // Digits inside a link ("example.com/orders/2125550123") belong to the link. Both lists are
    // in text order and links never overlap each other, so one pass settles it.
    const qsizetype linkCount = all.size();
    qsizetype nextLink = 0;
    for (const DataDetectorMatch &phone : phoneNumbers(text, m_region)) {
        while (nextLink < linkCount &&
               all.at(nextLink).start + all.at(nextLink).length <= phone.start) {
            ++nextLink;
        }
        const bool overlapsLink =
            nextLink < linkCount && all.at(nextLink).start < phone.start + phone.length;
        if (!overlapsLink) {
            all.append(phone);
        }
    }
    const std::string region = m_region.toStdString();
    // Only the stretches of a run that hold no match yet are looked at again.
    QList<DataDetectorMatch> apart;
    for (const QList<Token> &run : numberRuns(text)) {
        QList<Token> stretch;
        for (qsizetype t = 0; t <= run.size(); ++t) {
            if (t < run.size() && !overlapsAny(all, run.at(t).start, run.at(t).end)) {
                stretch.append(run.at(t));
                continue;
            }
            if (stretch.size() >= 2) {
                apart.append(numbersOneSpaceApart(text, stretch, region));
            }
            stretch.clear();
        }
    }
    all.append(apart);
    std::stable_sort(all.begin(), all.end(),
                     [](const auto &a, const auto &b) { return a.start < b.start; });
    return all;
}
