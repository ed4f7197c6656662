#include "Corpus.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRandomGenerator>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

namespace {

struct Theme
{
    const char *name;
    QColor background;
    QColor text;
    bool isDark;
};

const QList<Theme> kThemes = {
    {"light", QColor(255, 255, 255), QColor(29, 29, 31), false},
    {"dark", QColor(30, 30, 30), QColor(212, 212, 212), true},
    {"blue", QColor(38, 86, 160), QColor(255, 255, 255), true},
    {"note", QColor(255, 243, 196), QColor(90, 64, 0), false},
    {"grey-ui", QColor(240, 240, 240), QColor(90, 90, 90), false},
    {"terminal", QColor(12, 42, 18), QColor(111, 224, 138), true},
};

const QStringList kFonts = {"DejaVu Sans",      "Liberation Sans",  "DejaVu Serif",
                            "Liberation Serif", "DejaVu Sans Mono", "Liberation Mono"};
const QList<int> kPixelSizes = {10, 11, 12, 13, 14, 16};

const QStringList kWords = {
    "the",     "screen",   "capture",   "reads",    "text",       "from",    "any",     "window",
    "and",     "copies",   "it",        "to",       "clipboard",  "quickly", "before",  "meeting",
    "please",  "review",   "attached",  "report",   "numbers",    "for",     "quarter", "budget",
    "was",     "approved", "yesterday", "with",     "minor",      "changes", "café",    "résumé",
    "update",  "version",  "released",  "today",    "includes",   "several", "fixes",   "settings",
    "panel",   "shortcut", "Monday",    "Friday",   "London",     "Berlin",  "invoice", "customer",
    "order",   "shipped",  "tracking",  "delivery", "expected",   "within",  "three",   "days",
    "(draft)", "€42.50",   "100%",      "v2.3.1",   "2026-03-14", "OK,",     "done.",   "notes:",
    "next",    "steps",    "owner",     "due",      "priority",   "high",
};
const QStringList kUrls = {
    "https://example.org/docs/getting-started", "https://kelolens.app/changelog",
    "http://intranet.local:8080/wiki/Home",     "https://github.com/example/project/issues/42",
    "www.example.com/pricing?plan=team",        "https://maps.example.net/@52.52,13.40,15z",
};
const QStringList kEmails = {"support@example.org", "jane.doe@company.co.uk",
                             "team+alerts@example.com", "m.mueller@firma.de"};
const QStringList kPhones = {"+1 (555) 010-2030", "+44 20 7946 0958", "030 1234 5678",
                             "+49 170 1234567", "(212) 555-0147"};
const QStringList kCode = {
    "if (count == 0) { return nullptr; }",         "for (int i = 0; i < size; ++i) {",
    "const auto value = map.value(\"key\", 42);",  "git commit -m \"Fix the build\"",
    "export PATH=$HOME/.local/bin:$PATH",          "def parse(line): return line.split(',')",
    "SELECT name, email FROM users WHERE id = 7;", "std::vector<int> items{1, 2, 3};",
};

QString prose(QRandomGenerator &random, int words)
{
    QStringList line;
    for (int i = 0; i < words; ++i)
        line.append(kWords.at(random.bounded(int(kWords.size()))));
    line.first()[0] = line.first().at(0).toUpper();
    return line.join(QLatin1Char(' '));
}

QString pick(QRandomGenerator &random, const QStringList &list)
{
    return list.at(random.bounded(int(list.size())));
}

// Paragraphs of one kind of content; each line fits the width at the font used.
QList<QStringList> content(QRandomGenerator &random, int kind, bool isMonospace)
{
    QList<QStringList> paragraphs;
    const int count = 1 + random.bounded(3);
    for (int p = 0; p < count; ++p) {
        QStringList lines;
        const int lineCount = 1 + random.bounded(3);
        for (int l = 0; l < lineCount; ++l) {
            switch (isMonospace ? 3 : kind) {
            case 0:
                lines.append(prose(random, 5 + random.bounded(4)));
                break;
            case 1:
                lines.append(l % 2 == 0
                                 ? prose(random, 3) + QStringLiteral(": ") + pick(random, kUrls)
                                 : QStringLiteral("Mail ") + pick(random, kEmails));
                break;
            case 2:
                lines.append(l % 2 == 0
                                 ? QStringLiteral("Phone: ") + pick(random, kPhones)
                                 : prose(random, 4) + QLatin1Char(' ') + pick(random, kEmails));
                break;
            default:
                lines.append(pick(random, kCode));
                break;
            }
        }
        paragraphs.append(lines);
    }
    return paragraphs;
}

CorpusImage textImage(int index)
{
    QRandomGenerator random(quint32(1000 + index));
    const Theme &theme = kThemes.at(index % kThemes.size());
    const QString family = kFonts.at(index % kFonts.size());
    const int pixelSize = kPixelSizes.at((index / kFonts.size()) % kPixelSizes.size());
    const int scale = index % 4 == 3 ? 2 : 1;
    const bool isMonospace = family.contains(QLatin1String("Mono"));

    CorpusImage item;
    item.paragraphs = content(random, index % 3, isMonospace);
    item.theme = QString::fromLatin1(theme.name);
    item.isDark = theme.isDark;
    item.isCode = isMonospace;

    QFont font(family);
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    const int lineHeight = int(pixelSize * 1.45);
    const int paragraphGap = pixelSize;
    int width = 0;
    int height = 2 * 12;
    for (const QStringList &paragraph : item.paragraphs) {
        for (const QString &line : paragraph) {
            width = std::max(width, metrics.horizontalAdvance(line));
            height += lineHeight;
        }
        height += paragraphGap;
    }
    width += 2 * 14;

    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(theme.background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(theme.text);
    int y = 12;
    for (const QStringList &paragraph : item.paragraphs) {
        for (const QString &line : paragraph) {
            painter.drawText(QRect(14, y, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             line);
            y += lineHeight;
        }
        y += paragraphGap;
    }
    painter.end();
    image.setDevicePixelRatio(1);
    item.image = image;
    item.name = QStringLiteral("text-%1-%2-%3px-x%4-%5")
                    .arg(index, 2, 10, QLatin1Char('0'))
                    .arg(QString(family).remove(QLatin1Char(' ')).toLower())
                    .arg(pixelSize)
                    .arg(scale)
                    .arg(item.theme);
    return item;
}

struct CodeSample
{
    ZXing::BarcodeFormat format;
    std::string payload;
    int moduleSize;
    // What a reader reports, when it is not the payload written (Codabar drops its start and
    // stop characters).
    std::string reported = {};
};

QImage drawCode(const CodeSample &sample, const Theme &theme)
{
    const bool isLinear = (int(sample.format) & int(ZXing::BarcodeFormat::LinearCodes)) != 0;
    const ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(sample.format)
                                        .setMargin(0)
                                        .encode(sample.payload, 0, isLinear ? 50 : 0);
    const int rowHeight = isLinear ? 1 : sample.moduleSize;
    const int quiet = (isLinear ? 10 : 4) * sample.moduleSize;
    QImage image(matrix.width() * sample.moduleSize + 2 * quiet,
                 matrix.height() * rowHeight + 2 * quiet, QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            if (matrix.get(x, y))
                painter.fillRect(quiet + x * sample.moduleSize, quiet + y * rowHeight,
                                 sample.moduleSize, rowHeight, theme.text);
        }
    }
    return image;
}

CorpusImage codeImage(int index, const QList<CodeSample> &samples)
{
    const Theme &theme = kThemes.at(index % 3 == 2 ? 0 : index % 2);
    CorpusImage item;
    item.theme = QString::fromLatin1(theme.name);
    item.isDark = theme.isDark;
    QList<QImage> parts;
    int width = 20;
    int height = 0;
    for (const CodeSample &sample : samples) {
        parts.append(drawCode(sample, theme));
        width += parts.last().width() + 20;
        height = std::max(height, parts.last().height());
        item.payloads.append(
            QString::fromStdString(sample.reported.empty() ? sample.payload : sample.reported));
    }
    QImage image(width, height + 60, QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(theme.text);
    painter.drawText(QRect(20, 8, width, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Scan to continue"));
    int x = 20;
    for (const QImage &part : parts) {
        painter.drawImage(x, 40, part);
        x += part.width() + 20;
    }
    painter.end();
    item.image = image;
    item.name = QStringLiteral("codes-%1-%2").arg(index, 2, 10, QLatin1Char('0')).arg(item.theme);
    return item;
}

} // namespace

namespace Corpus {

QList<CorpusImage> build()
{
    QList<CorpusImage> corpus;
    constexpr int kTextImages = 36;
    for (int i = 0; i < kTextImages; ++i)
        corpus.append(textImage(i));

    using F = ZXing::BarcodeFormat;
    const QList<QList<CodeSample>> codeSets = {
        {{F::QRCode, "https://kelolens.app/welcome", 3},
         {F::QRCode, "WIFI:T:WPA;S:Office;P:correct horse;;", 3}},
        {{F::QRCode, "https://example.org/a?b=c&d=e", 2}, {F::Code128, "KELO-2026-0042", 2}},
        {{F::QRCode, "BEGIN:VCARD\nVERSION:3.0\nFN:Jane Doe\nTEL:+15550100\nEND:VCARD", 3},
         {F::EAN13, "5901234123457", 2}},
        {{F::DataMatrix, "Lot 7734-B exp 2027-01", 4}, {F::Aztec, "TICKET 8812 SEAT 14C", 4}},
        {{F::PDF417, "Boarding pass ZRH-SFO LX38", 2}, {F::QRCode, "mailto:help@example.org", 4}},
        {{F::QRCode, "Plain note: call back after 5", 2},
         {F::Code39, "PART-00917", 2},
         {F::QRCode, "https://example.org/second", 3}},
        {{F::QRCode, "tel:+441234567890", 3}, {F::Code93, "SHELF A12", 2}},
        {{F::EAN8, "96385074", 2},
         {F::ITF, "00012345678905", 2},
         {F::QRCode, "geo:52.5200,13.4050", 3}},
        {{F::QRCode, "https://kelolens.app/dark/1", 3},
         {F::QRCode, "https://kelolens.app/dark/2", 2}},
        {{F::UPCA, "036000291452", 2}, {F::QRCode, "SMSTO:+15550100:Hello", 3}},
        {{F::Codabar, "A40156B", 2, "40156"}, {F::DataMatrix, "https://example.org/dm", 3}},
        {{F::QRCode, "WIFI:T:nopass;S:Guest;;", 4}, {F::Aztec, "https://example.org/aztec", 3}},
    };
    for (int i = 0; i < codeSets.size(); ++i)
        corpus.append(codeImage(i, codeSets.at(i)));
    return corpus;
}

} // namespace Corpus
