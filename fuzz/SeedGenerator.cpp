// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-fuzz-seeds <folder>
//     Writes a starting corpus for every fuzz target into <folder>/<target>/: payloads, texts and
//     line sets like those the application meets, and PNG captures of rendered text and codes.
#include "FuzzSupport.h"
#include "samples/SampleImages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

namespace {

bool write(const QString &folder, const QString &target, int number, const QByteArray &bytes)
{
    const QString directory = folder + u'/' + target;
    QFile file(directory + QStringLiteral("/seed-%1").arg(number));
    return QDir().mkpath(directory) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

bool writeAll(const QString &folder, const QString &target, const QList<QByteArray> &seeds)
{
    bool isComplete = true;
    for (int i = 0; i < seeds.size(); ++i) {
        isComplete = write(folder, target, i, seeds.at(i)) && isComplete;
    }
    return isComplete;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// One paragraph of lines stacked downwards in normalized coordinates (origin bottom-left).
QList<RecognizedLine> paragraph(const QStringList &texts, double top, double lineHeight)
{
    QList<RecognizedLine> lines;
    for (const QString &text : texts) {
        top -= lineHeight * 1.2;
        lines.append({text, ExactRect{0.05, top, 0.6, lineHeight}});
    }
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kelo-fuzz-seeds <folder>\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);

    const QList<QByteArray> payloads{
        "WIFI:T:WPA;S:Home Network;P:correct horse;;",
        "WIFI:S:caf\\;e\\\\;T:nopass;H:true;;",
        "WIFI:T:WEP;P:\\;;S:x;P:second",
        "wifi:S:Stra\xc3\x9f"
        "e;P:p\xcc\x81;;",
        "BEGIN:VCARD\nVERSION:3.0\nFN:Ada Lovelace\nTEL:+44 20 7946 0958\nEND:VCARD",
        "MECARD:N:Doe,John;TEL:13035551212;;",
        "https://example.com/path?q=1#frag",
        "HTTP://[::1]:8080/",
        "mailto:someone@example.org",
        "plain text with no scheme",
    };
    const QList<QByteArray> texts{
        "Visit www.example.com or https://kelolens.app/docs?x=1 today.",
        "Mail ada@example.co.uk, call +1 (415) 555-0132 or 030 901820.",
        "Tel. 0049 89 636-48018; fax +81-3-1234-5678; ext 12",
        "ftp://files.example.net/a.txt file.txt example.museum xn--bcher-kva.example",
        "\xef\xbc\x8b\xef\xbc\x91 \xef\xbc\x92\xef\xbc\x90\xef\xbc\x92 555 0100 full-width digits",
    };
    const QList<QByteArray> lineSets{
        FuzzSupport::encodeLines(
            paragraph({QStringLiteral("The quick brown fox jumps over"),
                       QStringLiteral("the lazy dog. Hyphen-"), QStringLiteral("ated words join.")},
                      0.9, 0.05)),
        FuzzSupport::encodeLines(paragraph({QStringLiteral("First paragraph")}, 0.9, 0.05) +
                                 paragraph({QStringLiteral("Second, after a gap")}, 0.6, 0.05)),
        // Two fragments of one visual row, right one first.
        FuzzSupport::encodeLines({{QStringLiteral("right"), ExactRect{0.6, 0.5, 0.3, 0.05}},
                                  {QStringLiteral("left"), ExactRect{0.1, 0.51, 0.3, 0.05}}}),
    };

    QList<QByteArray> images;
    for (const SampleImages::Theme &theme : {SampleImages::light, SampleImages::dark}) {
        images.append(png(SampleImages::text(
            {QStringLiteral("Invoice 2024-117"), QString(), QStringLiteral("Total: 42.00 EUR")},
            SampleImages::textStyle(14, theme), 320)));
        images.append(png(SampleImages::qrCode("WIFI:T:WPA;S:Home;P:secret;;", theme, 3)));
    }
    images.append(png(SampleImages::sideBySide(
        {SampleImages::text({QStringLiteral("Scan me")}, SampleImages::textStyle(14), 120),
         SampleImages::code("4006381333931", ZXing::BarcodeFormat::EAN13, 2, SampleImages::light,
                            40)})));

    const bool isComplete = writeAll(folder, QStringLiteral("wifi-fields"), payloads) &&
                            writeAll(folder, QStringLiteral("payload-classification"), payloads) &&
                            writeAll(folder, QStringLiteral("link-detection"), texts) &&
                            writeAll(folder, QStringLiteral("phone-detection"), texts) &&
                            writeAll(folder, QStringLiteral("text-assembly"), lineSets) &&
                            writeAll(folder, QStringLiteral("image-recognition"), images);
    if (!isComplete) {
        std::fprintf(stderr, "KeloLens: could not write the seeds into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
