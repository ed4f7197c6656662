// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <variant>

class DataDetector;

// What a chip stands for; the panel acts on it.
struct ChipKind
{
    // A link found in the text (any scheme but mailto).
    struct Link
    {
        QUrl url;
        bool operator==(const Link &) const = default;
    };
    // An e-mail address found in the text, without "mailto:", letter case as found.
    struct Email
    {
        QString address;
        bool operator==(const Email &) const = default;
    };
    // A phone number found in the text, as written there.
    struct Phone
    {
        QString number;
        bool operator==(const Phone &) const = default;
    };
    // A detected barcode or QR code.
    struct Code
    {
        DetectedCode code;
        bool operator==(const Code &) const = default;
    };

    std::variant<Link, Email, Phone, Code> value;

    bool operator==(const ChipKind &) const = default;

    [[nodiscard]] static ChipKind link(const QUrl &url) { return {Link{url}}; }
    [[nodiscard]] static ChipKind email(const QString &address) { return {Email{address}}; }
    [[nodiscard]] static ChipKind phone(const QString &number) { return {Phone{number}}; }
    [[nodiscard]] static ChipKind code(const DetectedCode &code) { return {Code{code}}; }

    // The payload when the kind is T, otherwise null.
    template <typename T> [[nodiscard]] const T *as() const { return std::get_if<T>(&value); }

    // "link", "email", "phone" or "code".
    [[nodiscard]] QString name() const;
};

// One actionable item of the results panel.
struct Chip
{
    QString id; // de-duplication key and list identity
    QString label;
    QString badge;
    ChipKind kind;

    bool operator==(const Chip &) const = default;
};

// One chip for every distinct link, e-mail address and phone number in the text (in text order),
// then one for every detected code (in code order); the first chip with a given id wins.
[[nodiscard]] QList<Chip> extractChips(const QString &text, const QList<DetectedCode> &codes);
[[nodiscard]] QList<Chip> extractChips(const QString &text, const QList<DetectedCode> &codes,
                                       const DataDetector &detector);
