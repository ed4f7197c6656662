// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// A link or e-mail address found in free text; the range is in UTF-16 code units.
struct LinkMatch
{
    qsizetype start = 0;
    qsizetype length = 0;
    QUrl url;

    bool operator==(const LinkMatch &) const = default;
};

// Finds links in free text: URLs with a scheme ("https://...", "ftp://..."), hosts starting with
// "www.", bare host names ending in a real top-level domain ("example.com", but not "file.txt"),
// and e-mail addresses (as "mailto:" URLs). Bare hosts become "http://" URLs.
namespace LinkDetector {

[[nodiscard]] QList<LinkMatch> find(const QString &text);

// Whether `label` (one label, any letter case, Unicode or ACE form) is a top-level domain on the
// public suffix list.
[[nodiscard]] bool isTopLevelDomain(const QString &label);

} // namespace LinkDetector
