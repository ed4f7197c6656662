// SPDX-License-Identifier: GPL-3.0-or-later
// kelolens-recognize: reads the text and codes of image files the way a capture would.

#include "KeloLens/Recognition/ImageReading.h"
#include "KeloLens/Recognition/PayloadClassification.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "KeloLens/Results/Chip.h"
#include "KeloLens/Results/ChipJson.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

constexpr int exitUnreadable = 1;
constexpr int exitUsage = 2;

struct Arguments
{
    QStringList languages;
    RecognitionOptions options;
    bool isJson = false;
    bool printsChips = false;
    // Plain text read instead of images ("-" is standard input), for running the detector alone.
    std::optional<QString> textFile;
    QStringList images;
};

void printTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// Fills the arguments, or returns the exit status to leave with (0 after --help).
std::optional<int> parseArguments(const QStringList &commandLine, Arguments &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads the text, QR codes and barcodes in images."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption languages(
        QStringLiteral("languages"),
        QStringLiteral("Recognition languages as BCP 47 tags, in order (default: automatic)."),
        QStringLiteral("en,de"));
    const QCommandLineOption joinParagraphs(QStringLiteral("join-paragraphs"),
                                            QStringLiteral("Join the lines of a paragraph."));
    const QCommandLineOption keepHyphens(
        QStringLiteral("keep-hyphens"),
        QStringLiteral("Keep words hyphenated at a line end apart."));
    const QCommandLineOption noCodes(QStringLiteral("no-codes"),
                                     QStringLiteral("Do not look for QR codes and barcodes."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object per image."));
    const QCommandLineOption chips(
        QStringLiteral("chips"),
        QStringLiteral("Print the chips (links, e-mail addresses, phone numbers, codes) as JSON "
                       "lines instead of the text."));
    const QCommandLineOption text(
        QStringLiteral("text"),
        QStringLiteral("Read plain text from FILE (- for standard input) instead of images."),
        QStringLiteral("FILE"));
    parser.addOptions({help, languages, joinParagraphs, keepHyphens, noCodes, json, chips, text});
    parser.addPositionalArgument(QStringLiteral("IMAGE"), QStringLiteral("Images to read."),
                                 QStringLiteral("IMAGE..."));

    const QString usage =
        QStringLiteral("usage: kelolens-recognize [--languages en,de] "
                       "[--join-paragraphs] [--keep-hyphens] [--no-codes] "
                       "[--json | --chips] IMAGE...\n"
                       "       kelolens-recognize [--json | --chips] --text FILE\n");
    if (!parser.parse(commandLine)) {
        printTo(stderr, QStringLiteral("kelolens-recognize: %1\n").arg(parser.errorText()) + usage);
        return exitUsage;
    }
    if (parser.isSet(help)) {
        printTo(stdout, parser.helpText());
        return 0;
    }
    arguments.images = parser.positionalArguments();
    if (parser.isSet(json) && parser.isSet(chips)) {
        printTo(stderr,
                QStringLiteral("kelolens-recognize: use either --json or --chips\n") + usage);
        return exitUsage;
    }
    if (parser.isSet(text)) {
        if (!arguments.images.isEmpty()) {
            printTo(stderr, QStringLiteral("kelolens-recognize: --text takes no images\n") + usage);
            return exitUsage;
        }
        arguments.textFile = parser.value(text);
    } else if (arguments.images.isEmpty()) {
        printTo(stderr, QStringLiteral("kelolens-recognize: no image given\n") + usage);
        return exitUsage;
    }
    for (const QString &value : parser.values(languages)) {
        for (const QString &tag : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            arguments.languages.append(tag.trimmed());
        }
    }
    if (parser.isSet(languages) && arguments.languages.isEmpty()) {
        printTo(stderr,
                QStringLiteral("kelolens-recognize: --languages needs at least one tag\n") + usage);
        return exitUsage;
    }
    arguments.options.lineBreaks =
        parser.isSet(joinParagraphs) ? LineBreakMode::joinParagraphs : LineBreakMode::keepLines;
    arguments.options.stripHyphenation = !parser.isSet(keepHyphens);
    arguments.options.detectBarcodes = !parser.isSet(noCodes);
    arguments.isJson = parser.isSet(json);
    arguments.printsChips = parser.isSet(chips);
    return std::nullopt;
}

void warnAboutMissingLanguages(const QStringList &tags)
{
    const QStringList installed =
        RecognitionLanguages::installedDataNames(RecognitionLanguages::dataDirectory());
    for (const QString &tag : tags) {
        const std::optional<QString> name = RecognitionLanguages::dataNameForTag(tag);
        if (!name) {
            printTo(stderr,
                    QStringLiteral("kelolens-recognize: unknown language \"%1\"\n").arg(tag));
        } else if (!installed.contains(*name)) {
            printTo(stderr, QStringLiteral("kelolens-recognize: language \"%1\" is not installed "
                                           "(Tesseract data \"%2\" in %3)\n")
                                .arg(tag, *name, RecognitionLanguages::dataDirectory()));
        }
    }
}

QString jsonString(const QString &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Written by hand so the keys keep the documented order.
QString jsonLine(const std::optional<QString> &path, const RecognitionResult &result)
{
    QStringList paragraphs;
    for (const Paragraph &paragraph : result.paragraphs) {
        QStringList lines;
        for (const QString &line : paragraph.lines) {
            lines.append(jsonString(line));
        }
        paragraphs.append(QLatin1Char('[') + lines.join(QLatin1Char(',')) + QLatin1Char(']'));
    }
    QStringList codes;
    for (const DetectedCode &code : result.codes) {
        codes.append(QStringLiteral("{\"symbology\":%1,\"payload\":%2,\"kind\":%3}")
                         .arg(jsonString(code.symbology), jsonString(code.payload),
                              jsonString(rawName(code.kind))));
    }
    return QStringLiteral("{\"image\":%1,\"text\":%2,\"paragraphs\":[%3],\"codes\":[%4]}\n")
        .arg(path ? jsonString(*path) : QStringLiteral("null"), jsonString(result.text),
             paragraphs.join(QLatin1Char(',')), codes.join(QLatin1Char(',')));
}

QString plainText(const RecognitionResult &result)
{
    QString out;
    if (!result.text.isEmpty()) {
        out += result.text + QLatin1Char('\n');
    }
    if (!result.codes.isEmpty()) {
        if (!out.isEmpty()) {
            out += QLatin1Char('\n');
        }
        for (const DetectedCode &code : result.codes) {
            out += code.payload + QLatin1Char('\n');
        }
    }
    return out;
}

std::optional<QImage> readImage(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        printTo(stderr, QStringLiteral("kelolens-recognize: %1: no such file\n").arg(path));
        return std::nullopt;
    }
    ImageReading::Outcome read = ImageReading::read(path);
    if (read.image.isNull()) {
        printTo(stderr, QStringLiteral("kelolens-recognize: %1: cannot read the image (%2)\n")
                            .arg(path, read.error));
        return std::nullopt;
    }
    return std::move(read.image);
}

std::optional<QString> readText(const QString &path)
{
    QFile file;
    const bool isOpen = path == QStringLiteral("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!isOpen) {
        printTo(stderr, QStringLiteral("kelolens-recognize: %1: cannot read the text (%2)\n")
                            .arg(path, file.errorString()));
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

void printResult(const Arguments &arguments, const std::optional<QString> &imagePath,
                 const RecognitionResult &result)
{
    if (arguments.printsChips) {
        const QByteArray lines = chipsToJsonLines(extractChips(result.text, result.codes));
        std::fwrite(lines.constData(), 1, size_t(lines.size()), stdout);
    } else if (arguments.isJson) {
        printTo(stdout, jsonLine(imagePath, result));
    } else {
        printTo(stdout, plainText(result));
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Arguments arguments;
    if (const std::optional<int> status = parseArguments(app.arguments(), arguments)) {
        return *status;
    }
    if (arguments.textFile) {
        const std::optional<QString> text = readText(*arguments.textFile);
        if (!text) {
            return exitUnreadable;
        }
        printResult(arguments, std::nullopt, RecognitionResult{{}, {}, *text});
        return 0;
    }
    warnAboutMissingLanguages(arguments.languages);

    Recognizer recognizer;
    int status = 0;
    const bool hasHeaders = !arguments.isJson && arguments.images.size() > 1;
    for (qsizetype i = 0; i < arguments.images.size(); ++i) {
        const QString &path = arguments.images.at(i);
        const std::optional<QImage> image = readImage(path);
        if (!image) {
            status = exitUnreadable;
            continue;
        }
        const RecognitionResult result =
            QCoro::waitFor(recognizer.recognize(*image, arguments.languages, arguments.options));
        if (hasHeaders && !arguments.printsChips) {
            printTo(stdout, QStringLiteral("%1==> %2 <==\n")
                                .arg(i > 0 ? QStringLiteral("\n") : QString(), path));
        }
        printResult(arguments, path, result);
    }
    return status;
}
