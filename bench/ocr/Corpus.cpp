// SPDX-License-Identifier: GPL-3.0-or-later
#include "Corpus.h"

#include "samples/SampleImages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRandomGenerator>

namespace {

const QList<Theme> themes = {
    {"light", QColor(255, 255, 255), QColor(29, 29, 31), false},
    {"dark", QColor(30, 30, 30), QColor(212, 212, 212), true},
    {"blue", QColor(38, 86, 160), QColor(255, 255, 255), true},
    {"note", QColor(255, 243, 196), QColor(90, 64, 0), false},
    {"grey-ui", QColor(240, 240, 240), QColor(90, 90, 90), false},
    {"terminal", QColor(12, 42, 18), QColor(111, 224, 138), true},
};

const QStringList fonts = {"DejaVu Sans",      "Liberation Sans",  "DejaVu Serif",
                           "Liberation Serif", "DejaVu Sans Mono", "Liberation Mono"};
const QList<int> pixelSizes = {10, 11, 12, 13, 14, 16};

const QStringList proseWords = {
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
const QStringList urls = {
    "https://example.org/docs/getting-started", "https://kelolens.app/changelog",
    "http://intranet.local:8080/wiki/Home",     "https://github.com/example/project/issues/42",
    "www.example.com/pricing?plan=team",        "https://maps.example.net/@52.52,13.40,15z",
};
const QStringList emails = {"support@example.org", "jane.doe@company.co.uk",
                            "team+alerts@example.com", "m.mueller@firma.de"};
const QStringList phones = {"+1 (555) 010-2030", "+44 20 7946 0958", "030 1234 5678",
                            "+49 170 1234567", "(212) 555-0147"};
const QStringList codeLines = {
    "if (count == 0) { return nullptr; }",         "for (int i = 0; i < size; ++i) {",
    "const auto value = map.value(\"key\", 42);",  "git commit -m \"Fix the build\"",
    "export PATH=$HOME/.local/bin:$PATH",          "def parse(line): return line.split(',')",
    "SELECT name, email FROM users WHERE id = 7;", "std::vector<int> items{1, 2, 3};",
};

QString prose(QRandomGenerator &random, int words)
{
    QStringList line;
    for (int i = 0; i < words; ++i) {
        line.append(proseWords.at(random.bounded(int(proseWords.size()))));
    }
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
                                 ? prose(random, 3) + QStringLiteral(": ") + pick(random, urls)
                                 : QStringLiteral("Mail ") + pick(random, emails));
                break;
            case 2:
                lines.append(l % 2 == 0
                                 ? QStringLiteral("Phone: ") + pick(random, phones)
                                 : prose(random, 4) + QLatin1Char(' ') + pick(random, emails));
                break;
            default:
                lines.append(pick(random, codeLines));
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
    const Theme &theme = themes.at(index % themes.size());
    const QString family = fonts.at(index % fonts.size());
    const int pixelSize = pixelSizes.at((index / fonts.size()) % pixelSizes.size());
    const bool isMonospace = family.contains(QLatin1String("Mono"));

    CorpusImage item;
    item.paragraphs = content(random, index % 3, isMonospace);
    item.theme = QString::fromLatin1(theme.name);
    item.isDark = theme.isDark;
    item.kind = isMonospace ? TextKind::code : TextKind::prose;

    SampleImages::TextStyle style;
    style.family = family;
    style.pixelSize = pixelSize;
    style.theme = {theme.background, theme.text};
    style.lineSpacing = 1.45;
    style.paragraphGap = pixelSize;
    style.scale = index % 4 == 3 ? 2 : 1;
    QStringList lines;
    for (const QStringList &paragraph : item.paragraphs) {
        lines << paragraph << QString();
    }
    item.image = SampleImages::text(lines, style, 0, QPoint(14, 12));
    item.name = QStringLiteral("text-%1-%2-%3px-x%4-%5")
                    .arg(index, 2, 10, QLatin1Char('0'))
                    .arg(QString(family).remove(QLatin1Char(' ')).toLower())
                    .arg(pixelSize)
                    .arg(style.scale)
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
    return SampleImages::code(sample.payload, sample.format, sample.moduleSize,
                              {theme.background, theme.text});
}

CorpusImage codeImage(int index, const QList<CodeSample> &samples)
{
    const Theme &theme = themes.at(index % 3 == 2 ? 0 : index % 2);
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

// Lines of prose as wide as the page, in paragraphs of four to eight, until the page is full.
QList<QStringList> pageContent(QRandomGenerator &random, const SampleImages::TextStyle &style,
                               QSize page, QPoint margin)
{
    QFont font(style.family);
    font.setPixelSize(style.pixelSize);
    const QFontMetrics metrics(font);
    const int lineHeight = int(style.pixelSize * style.lineSpacing);
    const int width = page.width() - 2 * margin.x();
    int height = page.height() - 2 * margin.y();
    QList<QStringList> paragraphs;
    while (height >= lineHeight) {
        QStringList paragraph;
        const int lines = 4 + random.bounded(5);
        for (int l = 0; l < lines && height >= lineHeight; ++l) {
            QString line = prose(random, 1);
            for (;;) {
                const QString longer = line + QLatin1Char(' ') + pick(random, proseWords);
                if (metrics.horizontalAdvance(longer) > width) {
                    break;
                }
                line = longer;
            }
            paragraph.append(line);
            height -= lineHeight;
        }
        paragraphs.append(paragraph);
        height -= style.paragraphGap;
    }
    return paragraphs;
}

} // namespace

namespace Corpus {

QList<CorpusImage> fullScreenPages(QSize screen)
{
    struct Page
    {
        const char *family;
        int pixelSize;
        int theme;
    };
    const QList<Page> pages = {
        {"DejaVu Sans", 13, 0},
        {"DejaVu Serif", 14, 1},
        {"Liberation Sans", 16, 1},
        {"Liberation Serif", 15, 0},
    };
    QList<CorpusImage> corpus;
    for (int i = 0; i < pages.size(); ++i) {
        QRandomGenerator random(quint32(5000 + i));
        const Theme &theme = themes.at(pages.at(i).theme);
        SampleImages::TextStyle style;
        style.family = QString::fromLatin1(pages.at(i).family);
        style.pixelSize = pages.at(i).pixelSize;
        style.theme = {theme.background, theme.text};
        style.lineSpacing = 1.4;
        style.paragraphGap = style.pixelSize;
        const QPoint margin(24, 16);
        CorpusImage item;
        item.paragraphs = pageContent(random, style, screen, margin);
        item.theme = QString::fromLatin1(theme.name);
        item.isDark = theme.isDark;
        QStringList lines;
        for (const QStringList &paragraph : item.paragraphs) {
            lines << paragraph << QString();
        }
        item.image = SampleImages::text(lines, style, screen.width(), margin)
                         .copy(QRect(QPoint(0, 0), screen));
        item.name = QStringLiteral("page-%1-%2px-%3")
                        .arg(QString(style.family).remove(QLatin1Char(' ')).toLower())
                        .arg(style.pixelSize)
                        .arg(item.theme);
        corpus.append(item);
    }
    return corpus;
}

QList<CorpusImage> codeOnlyCaptures()
{
    using F = ZXing::BarcodeFormat;
    struct Capture
    {
        F format;
        std::string payload;
        int moduleSize;
        int theme;
        int quietModules; // 0: the capture cuts along the code's edge
    };
    const QList<Capture> captures = {
        {F::QRCode, "hello world 12345", 4, 0, 4},
        {F::QRCode, "https://kelolens.app/welcome", 3, 1, 4},
        {F::QRCode, "WIFI:T:WPA;S:Office;P:correct horse;;", 5, 0, 1},
        {F::DataMatrix, "Lot 7734-B exp 2027-01", 3, 0, 0},
        {F::DataMatrix, "https://example.org/dm", 1, 3, 4},
        {F::Aztec, "TICKET 8812 SEAT 14C", 3, 1, 4},
        {F::Code128, "KELO-2026-0042", 1, 0, 10},
        {F::EAN13, "5901234123457", 2, 0, 10},
        {F::PDF417, "Boarding pass ZRH-SFO LX38", 2, 0, 4},
    };
    QList<CorpusImage> corpus;
    for (int i = 0; i < captures.size(); ++i) {
        const Capture &capture = captures.at(i);
        const Theme &theme = themes.at(capture.theme);
        CorpusImage item;
        item.theme = QString::fromLatin1(theme.name);
        item.isDark = theme.isDark;
        item.payloads = {QString::fromStdString(capture.payload)};
        item.image = SampleImages::code(capture.payload, capture.format, capture.moduleSize,
                                        {theme.background, theme.text}, 50, capture.quietModules);
        item.name =
            QStringLiteral("code-only-%1-%2").arg(i, 2, 10, QLatin1Char('0')).arg(item.theme);
        corpus.append(item);
    }
    return corpus;
}

QList<CorpusImage> build()
{
    QList<CorpusImage> corpus;
    constexpr int textImages = 36;
    for (int i = 0; i < textImages; ++i) {
        corpus.append(textImage(i));
    }

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
    for (int i = 0; i < codeSets.size(); ++i) {
        corpus.append(codeImage(i, codeSets.at(i)));
    }
    return corpus;
}

} // namespace Corpus
