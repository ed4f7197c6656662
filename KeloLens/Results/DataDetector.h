// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// One link or phone number found in free text. The range is in UTF-16 code units of the text.
struct DataDetectorMatch
{
    enum class Type { link, phoneNumber };

    Type type = Type::link;
    qsizetype start = 0;
    qsizetype length = 0;
    // Links: where the link leads (e-mail addresses as "mailto:" URLs).
    std::optional<QUrl> url;
    // Phone numbers: the number as written in the text.
    std::optional<QString> phoneNumber;

    bool operator==(const DataDetectorMatch &) const = default;
};

// Finds links, e-mail addresses and phone numbers in free text, in text order, without overlaps.
class DataDetector
{
public:
    // Phone numbers written without a country code are read as numbers of `defaultRegion`
    // (an ISO 3166 code such as "DE"); an unknown region falls back to "US".
    explicit DataDetector(const QString &defaultRegion = systemRegion());

    [[nodiscard]] QList<DataDetectorMatch> matches(const QString &text) const;
    [[nodiscard]] QString defaultRegion() const { return m_region; }

    // The territory of the user's locale as an ISO 3166 code, or "US" when it names none.
    [[nodiscard]] static QString systemRegion();

private:
    QString m_region;
};
