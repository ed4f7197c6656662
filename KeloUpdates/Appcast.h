// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>
#include <variant>

// One release in an appcast feed (RSS 2.0 with the Sparkle namespace).
struct AppcastItem
{
    QString title;
    // sparkle:version (the build's own number) and sparkle:shortVersionString (what users read);
    // either may be missing in a feed.
    QString version;
    QString shortVersion;
    // The item's description, usually HTML.
    QString releaseNotes;
    QUrl releaseNotesLink;
    // Where the user gets the release: the item's link, else its enclosure. Only http and https
    // addresses are kept, since a feed must not make us open anything else.
    QUrl downloadPage;

    bool operator==(const AppcastItem &) const = default;

    // The version compared with ours and shown: the short version when given, else the version.
    [[nodiscard]] QString displayVersion() const
    {
        return shortVersion.isEmpty() ? version : shortVersion;
    }
};

namespace Appcast {

// Feeds larger than this are refused rather than read.
inline constexpr qint64 maximumFeedSize = 1024 * 1024;

// The items of a feed in feed order, or a message saying why the data is not a feed.
[[nodiscard]] std::variant<QList<AppcastItem>, QString> parse(const QByteArray &xml);

// The item with the highest display version (the first of equals); absent when no item has one.
[[nodiscard]] std::optional<AppcastItem> newestItem(const QList<AppcastItem> &items);

// Orders dotted versions: numbers numerically ("0.10" after "0.9"), missing numbers as 0
// ("1.0" equals "1.0.0"), and a trailing word before its release ("1.0-beta" before "1.0").
// Negative, zero or positive like a comparison function.
[[nodiscard]] int compareVersions(const QString &a, const QString &b);

} // namespace Appcast
