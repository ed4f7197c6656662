// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"
#include "KeloLens/Recognition/LineBreakMode.h"

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One line of text as the text engine reported it, or one merged row of such lines. The box is
// in normalized image coordinates: 0 to 1 on each axis, origin at the image's bottom-left, y up.
struct RecognizedLine
{
    QString text;
    ExactRect box;
    // In a monospace font, the width of one character cell in the box's units, and the box starts
    // at the left edge of the first character's cell; 0 for proportional text. Such a line's text
    // keeps its spacing as drawn.
    double cellWidth = 0;

    bool operator==(const RecognizedLine &) const = default;
};

// One paragraph: the text of each row, top to bottom, untrimmed.
struct Paragraph
{
    QStringList lines;

    bool operator==(const Paragraph &) const = default;
};

enum class CodeKind {
    url,
    wifi,
    contact,
    text,
};

[[nodiscard]] QString rawName(CodeKind kind);

// The network name and the password of a Wi-Fi code; an open network has no password.
struct WifiCredentials
{
    QString ssid;
    std::optional<QString> password;

    bool operator==(const WifiCredentials &) const = default;
};

// One QR code or barcode found in the image.
struct DetectedCode
{
    QString symbology;
    QString payload;
    CodeKind kind = CodeKind::text;

    bool operator==(const DetectedCode &) const = default;

    // The Wi-Fi fields, for a code classified as Wi-Fi whose payload names a network.
    [[nodiscard]] std::optional<WifiCredentials> wifiCredentials() const;
};

size_t qHash(const DetectedCode &code, size_t seed = 0) noexcept;

// What a recognition could not do as asked, for the user to hear about.
struct RecognitionNotes
{
    // Requested languages (tags) whose data is not installed: the text was read without them.
    QStringList missingLanguages;
    // The script the text looked written in (ISO 15924, "Cyrl") when no installed language reads
    // it; empty otherwise.
    QString unreadScript;

    bool operator==(const RecognitionNotes &) const = default;
};

// The outcome of one recognition.
struct RecognitionResult
{
    QList<Paragraph> paragraphs;
    QList<DetectedCode> codes;
    QString text;
    RecognitionNotes notes{};

    bool operator==(const RecognitionResult &) const = default;
};

// The switches that shape one recognition, taken from the preferences at capture time.
struct RecognitionOptions
{
    LineBreakMode lineBreaks = LineBreakMode::keepLines;
    bool stripHyphenation = true;
    bool detectBarcodes = true;

    bool operator==(const RecognitionOptions &) const = default;
};
