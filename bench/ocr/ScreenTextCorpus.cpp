// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenTextCorpus.h"

#include "samples/SampleImages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <functional>

namespace {

// Editors, terminals and dialogs as people use them, some with little contrast.
const QList<Theme> themes = {
    {"editor-light", QColor(255, 255, 255), QColor(36, 41, 47), false},
    {"editor-dark", QColor(30, 30, 30), QColor(212, 212, 212), true},
    {"solarized", QColor(253, 246, 227), QColor(88, 110, 117), false},
    {"terminal", QColor(12, 12, 12), QColor(204, 204, 204), true},
    {"github-dark", QColor(13, 17, 23), QColor(201, 209, 217), true},
    {"dialog", QColor(246, 245, 244), QColor(46, 52, 54), false},
};

const QStringList monospaceFonts = {"DejaVu Sans Mono", "Liberation Mono", "JetBrains Mono",
                                    "Noto Mono"};
const QStringList proportionalFonts = {"DejaVu Sans", "Liberation Sans", "DejaVu Serif",
                                       "Liberation Serif"};
const QList<int> pixelSizes = {12, 13, 14, 15};

// Fonts, sizes and pairings of snippets with themes: the corpus's own, and others held out
// from the tuning, to tell a fix from a fit to the corpus.
struct Variant
{
    QStringList monospace;
    QStringList proportional;
    QList<int> sizes;
    quint32 seed = 0;
    bool isHeldOut = false;
};
const Variant tuned{monospaceFonts, proportionalFonts, pixelSizes};
const Variant heldOut{{"Nimbus Mono PS", "Noto Sans Mono", "Liberation Mono", "DejaVu Sans Mono"},
                      {"Nimbus Sans", "Nimbus Roman", "Liberation Sans", "DejaVu Sans"},
                      {11, 13, 16},
                      500,
                      true};

const QStringList identifiers = {"user_id",   "parse_header", "max_retries", "buf_len",
                                 "is_valid",  "old_value",    "tmp_dir",     "item_count",
                                 "on_click",  "read_all",     "last_seen",   "retry_delay",
                                 "row_index", "file_name",    "has_more",    "page_size"};
const QStringList constants = {"SOL_SOCKET",      "SO_REUSEADDR", "MAX_PATH_LEN",
                               "O_RDONLY",        "EXIT_FAILURE", "HTTP_NOT_FOUND",
                               "DEFAULT_TIMEOUT", "BUF_SIZE",     "LOG_LEVEL"};
const QStringList serials = {"SN-00I1-lO01", "XK7Q-0O0O-1lI1", "ID-I0O1-l1O0", "KEY-l1I0-O0o8",
                             "0x7fff1e0c",   "a1b2c3d4e5",     "v0.11.1-rc1",  "RMA-10I-0l1"};
const QStringList numbers = {"0", "1", "3", "10", "42", "100", "256", "1024", "8080", "0.5"};

// Snippets as a programmer sees them; $ID, $ID2, $CONST, $NUM and $SERIAL are filled in.
const QList<QStringList> snippets = {
    {"if ($ID == NULL) {", "    return -1;", "}"},
    {"if (x) {", "    y();", "}", "z = 1;"},
    {"setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));", "#define $CONST $NUM"},
    {"for (int i = 0; i < $ID; i++) {", "    buf[i] = '\\0';", "}"},
    {"def $ID(self, path, mode='r'):", "    \"\"\"Read the whole file.\"\"\"",
     "    with open(path, mode) as f:", "        return f.read()"},
    {"class Cache:", "    def __init__(self, $ID=None):", "        self._$ID = $ID",
     "        self.__store = {}"},
    {"area = 3.14 * r * r", "print(f\"$ID: {$ID}\")"},
    {"$ grep -rn 'TODO' src/ | wc -l", "$ export $CONST=$NUM", "$ echo \"$HOME\" > out.txt"},
    {"Run `make test` before `git push`.", "Set `$ID` to `$NUM` in `config.yaml`."},
    {"const url = `https://api.example.com/v1/${id}`;",
     "let total = items.reduce((a, b) => a + b, 0);", "if (total === 0) return null;"},
    {"SELECT $ID, COUNT(*) FROM orders", "WHERE status = 'paid' AND total > $NUM", "GROUP BY $ID;"},
    {"{", "  \"name\": \"kelo_lens\",", "  \"version\": \"1.2.0\",", "  \"debug\": false", "}"},
    {"Serial: $SERIAL", "License: $SERIAL"},
    {"fn main() {", "    let v: Vec<u8> = Vec::new();", "    println!(\"{}\", v.len());", "}"},
    {"static int $ID2 = $NUM;", "static const char *name = \"$ID\";"},
    {"$ID = os.environ.get('$CONST', '$NUM')", "assert $ID is not None, \"missing $CONST\""},
    {"try:", "    $ID = int(value)", "except ValueError:", "    pass"},
    {"x = a[i] + b[j];", "$ID2 += x * 2;", "return $ID2;"},
};

const QStringList proseLines = {
    "The build finished in 42 seconds, with 3 warnings.",
    "Don't close the window until the upload is done.",
    "She said \"ship it\" and went home early.",
    "A self-contained example is easier to review.",
    "Prices start at $9.99 per month (billed yearly).",
    "Meeting moved to 3:30 pm; see the updated agenda.",
    "It's the user's choice, not the system's.",
    "Version 2.4 fixes a long-standing bug in the parser.",
    "Please reply by Friday, 14 March, if you can't attend.",
    "The well-known trick works only on 64-bit systems.",
    "Order #10482 was shipped to 221B Baker Street.",
    "Use 'single' or \"double\" quotes, never both.",
    "Battery at 18% - plug in your charger soon.",
    "Read the FAQ first: most answers are there.",
    "Temperatures will reach 31 degrees by mid-afternoon.",
    "The café on Rue Lepic opens at 7:45 every day.",
    "Total: 1,250.00 EUR including 19% VAT.",
    "Thanks again for the quick turnaround!",
};

const QStringList uiLabels = {
    "Show panel after capture",
    "Launch at login",
    "Play a sound",
    "Recognition languages",
    "Keep source lines",
    "Check for Updates",
    "Open Recent",
    "Save As...",
    "Export to PDF",
    "Quit",
    "Cancel",
    "OK",
    "Search",
    "3 items selected",
    "Downloads",
    "Last modified",
    "Size",
    "Name",
    "Sign in",
    "Forgot password?",
    "Apply",
    "Reset to defaults",
    "Notifications",
    "Do not disturb",
    "Wi-Fi",
    "Bluetooth",
    "Battery: 82%",
    "Volume",
    "Inbox (12)",
    "Drafts",
    "Sent",
    "Archive",
};
const QStringList formValues = {"Ctrl+Shift+2", "English (US)",     "Near the selection",
                                "Every day",    "jane@example.org", "1920 x 1080",
                                "42 MB",        "Automatic"};

QString pick(QRandomGenerator &random, const QStringList &list)
{
    return list.at(random.bounded(int(list.size())));
}

QStringList filledSnippet(QRandomGenerator &random, const QStringList &snippet)
{
    const QString id = pick(random, identifiers);
    QString id2 = pick(random, identifiers);
    if (id2 == id) {
        id2 = QStringLiteral("total");
    }
    const QString constant = pick(random, constants);
    const QString number = pick(random, numbers);
    QStringList lines;
    for (QString line : snippet) {
        // $SERIAL differs per use, so that a line with two serials shows two.
        while (line.contains(QLatin1String("$SERIAL"))) {
            line.replace(line.indexOf(QLatin1String("$SERIAL")), 7, pick(random, serials));
        }
        line.replace(QLatin1String("$ID2"), id2);
        line.replace(QLatin1String("$ID"), id);
        line.replace(QLatin1String("$CONST"), constant);
        line.replace(QLatin1String("$NUM"), number);
        lines.append(line);
    }
    return lines;
}

SampleImages::TextStyle styleFor(const QString &family, int pixelSize, const Theme &theme)
{
    SampleImages::TextStyle style;
    style.family = family;
    style.pixelSize = pixelSize;
    style.theme = {theme.background, theme.text};
    style.lineSpacing = 1.4;
    style.paragraphGap = pixelSize;
    return style;
}

CorpusImage textItem(const QString &name, TextKind kind, const QList<QStringList> &paragraphs,
                     const SampleImages::TextStyle &style, const Theme &theme)
{
    CorpusImage item;
    item.kind = kind;
    item.paragraphs = paragraphs;
    item.theme = QString::fromLatin1(theme.name);
    item.isDark = theme.isDark;
    QStringList lines;
    for (const QStringList &paragraph : paragraphs) {
        lines << paragraph << QString();
    }
    lines.removeLast();
    item.image = SampleImages::text(lines, style, 0, QPoint(12, 10));
    item.name = QStringLiteral("%1-%2-%3px-%4")
                    .arg(name, QString(style.family).remove(QLatin1Char(' ')).toLower())
                    .arg(style.pixelSize)
                    .arg(item.theme);
    return item;
}

QString nameOf(const Variant &variant, const QString &kind, int index)
{
    return QStringLiteral("%1%2-%3")
        .arg(variant.isHeldOut ? QStringLiteral("held-") : QString(), kind)
        .arg(index, 2, 10, QLatin1Char('0'));
}

CorpusImage codeItem(int index, const Variant &variant)
{
    QRandomGenerator random(quint32(7000 + index) + variant.seed);
    // Held out, each snippet meets several themes.
    const qsizetype themeIndex = variant.isHeldOut ? index + index / snippets.size() + 1 : index;
    const Theme &theme = themes.at(themeIndex % themes.size());
    const QString family = variant.monospace.at(index % variant.monospace.size());
    const int pixelSize = variant.sizes.at((index / 3) % variant.sizes.size());
    QList<QStringList> paragraphs{filledSnippet(random, snippets.at(index % snippets.size()))};
    if (index % 3 == 0) {
        paragraphs.append(filledSnippet(random, pick(random, {"x = 1;", "return 0;"}).split('|')));
    }
    return textItem(nameOf(variant, QStringLiteral("code"), index), TextKind::code, paragraphs,
                    styleFor(family, pixelSize, theme), theme);
}

CorpusImage proseItem(int index, const Variant &variant)
{
    QRandomGenerator random(quint32(8000 + index) + variant.seed);
    const Theme &theme = themes.at((index + 2) % themes.size());
    const QString family = variant.proportional.at(index % variant.proportional.size());
    const int pixelSize = variant.sizes.at((index / 2) % variant.sizes.size());
    QList<QStringList> paragraphs;
    for (int p = 0; p < 1 + index % 2; ++p) {
        QStringList lines;
        for (int l = 0; l < 2 + random.bounded(2); ++l) {
            lines.append(pick(random, proseLines));
        }
        paragraphs.append(lines);
    }
    return textItem(nameOf(variant, QStringLiteral("prose"), index), TextKind::prose, paragraphs,
                    styleFor(family, pixelSize, theme), theme);
}

// Pieces of a dialog, a menu or a toolbar: labels at their own places, some with values far to
// their right, some alone in a tiny capture.
CorpusImage uiItem(int index, const Variant &variant)
{
    QRandomGenerator random(quint32(9000 + index) + variant.seed);
    const Theme &theme = themes.at((index + 5) % themes.size());
    const QString family = variant.proportional.at(index % 2 == 0 ? 0 : 1);
    const int pixelSize = variant.sizes.at(index % variant.sizes.size());
    QFont font(family);
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    const int lineHeight = int(pixelSize * 2.0);

    // Rows of (x, text); the truth of a row is its texts joined by spaces.
    QList<QList<QPair<int, QString>>> rows;
    switch (index % 4) {
    case 0: // a settings form: label, then its value in a column further right
        for (int r = 0; r < 3; ++r) {
            rows.append(
                {{0, pick(random, uiLabels) + QLatin1Char(':')}, {180, pick(random, formValues)}});
        }
        break;
    case 1: // a menu
        for (int r = 0; r < 4; ++r) {
            rows.append({{0, pick(random, uiLabels)}});
        }
        break;
    case 2: // one label alone
        rows.append({{0, pick(random, uiLabels)}});
        break;
    default: // buttons in a row
        rows.append({{0, pick(random, uiLabels)}});
        rows.append({{0, QStringLiteral("Cancel")}, {90, QStringLiteral("OK")}});
        break;
    }
    int width = 0;
    for (const auto &row : rows) {
        width = std::max(width, row.last().first + metrics.horizontalAdvance(row.last().second));
    }
    QImage image(width + 24, int(rows.size()) * lineHeight + 16, QImage::Format_RGB32);
    image.fill(theme.background);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(theme.text);
    CorpusImage item;
    QStringList truth;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QStringList texts;
        for (const auto &[x, text] : rows.at(r)) {
            painter.drawText(QRect(12 + x, 8 + int(r) * lineHeight, width, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            texts.append(text);
        }
        truth.append(texts.join(QLatin1Char(' ')));
    }
    painter.end();
    item.kind = TextKind::ui;
    item.image = image;
    item.paragraphs = {truth};
    item.theme = QString::fromLatin1(theme.name);
    item.isDark = theme.isDark;
    item.name = QStringLiteral("%1-%2px-%3")
                    .arg(nameOf(variant, QStringLiteral("ui"), index))
                    .arg(pixelSize)
                    .arg(item.theme);
    return item;
}

// Paragraphs of the generator's kind until `height` pixels are filled at the style's spacing.
QList<QStringList> filling(int height, const SampleImages::TextStyle &style,
                           const std::function<QStringList()> &next)
{
    const int lineHeight = int(style.pixelSize * style.lineSpacing);
    QList<QStringList> paragraphs;
    for (;;) {
        const QStringList paragraph = next();
        height -= int(paragraph.size()) * lineHeight + style.paragraphGap;
        if (height < 0) {
            return paragraphs;
        }
        paragraphs.append(paragraph);
    }
}

QStringList linesOf(const QList<QStringList> &paragraphs)
{
    QStringList lines;
    for (const QStringList &paragraph : paragraphs) {
        lines << paragraph << QString();
    }
    if (!lines.isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

struct Pane
{
    QRect area;
    SampleImages::TextStyle style;
    QList<QStringList> paragraphs;
};

CorpusImage screenOf(const QString &name, TextKind kind, QSize screen, const QList<Pane> &panes)
{
    CorpusImage item;
    item.kind = kind;
    item.name = name;
    item.image = QImage(screen, QImage::Format_RGB32);
    item.image.fill(Qt::white);
    QPainter painter(&item.image);
    for (const Pane &pane : panes) {
        painter.fillRect(pane.area, pane.style.theme.background);
        if (pane.paragraphs.isEmpty()) {
            continue;
        }
        painter.drawImage(pane.area.topLeft(),
                          SampleImages::text(linesOf(pane.paragraphs), pane.style,
                                             pane.area.width(), QPoint(20, 16))
                              .copy(QRect(QPoint(0, 0), pane.area.size())));
        item.paragraphs += pane.paragraphs;
        item.isDark = item.isDark || pane.style.theme.background.lightness() < 128;
    }
    item.theme = item.isDark ? QStringLiteral("mixed-dark") : QStringLiteral("mixed-light");
    return item;
}

} // namespace

namespace Corpus {

QList<CorpusImage> variedScreens(QSize screen)
{
    QRandomGenerator random(4242);
    const auto code = [&] {
        return filledSnippet(random, snippets.at(random.bounded(int(snippets.size()))));
    };
    const auto prose = [&] {
        QStringList lines;
        for (int l = 0; l < 3 + random.bounded(3); ++l) {
            lines.append(pick(random, proseLines));
        }
        return lines;
    };
    const QSize page(screen.width(), screen.height() - 40);
    const int half = screen.width() / 2;

    QList<CorpusImage> screens;
    {
        const SampleImages::TextStyle style =
            styleFor(QStringLiteral("DejaVu Sans Mono"), 13, themes.at(1));
        screens.append(
            screenOf(QStringLiteral("screen-code-13px-dark"), TextKind::code, screen,
                     {{QRect(QPoint(0, 0), screen), style, filling(page.height(), style, code)}}));
    }
    {
        const SampleImages::TextStyle left =
            styleFor(QStringLiteral("Liberation Sans"), 12, themes.at(5));
        const SampleImages::TextStyle right =
            styleFor(QStringLiteral("JetBrains Mono"), 13, themes.at(4));
        screens.append(screenOf(
            QStringLiteral("screen-two-windows-12px"), TextKind::code, screen,
            {{QRect(0, 0, half - 4, screen.height()), left, filling(page.height(), left, prose)},
             {QRect(half + 4, 0, half - 4, screen.height()), right,
              filling(page.height(), right, code)}}));
    }
    {
        SampleImages::TextStyle sidebar = styleFor(QStringLiteral("DejaVu Sans"), 14, themes.at(5));
        sidebar.lineSpacing = 2.2;
        const SampleImages::TextStyle body =
            styleFor(QStringLiteral("DejaVu Serif"), 14, themes.at(0));
        screens.append(
            screenOf(QStringLiteral("screen-sidebar-14px"), TextKind::prose, screen,
                     {{QRect(0, 0, 280, screen.height()), sidebar, {uiLabels.mid(0, 24)}},
                      {QRect(280, 0, screen.width() - 280, screen.height()), body,
                       filling(page.height(), body, prose)}}));
    }
    {
        const SampleImages::TextStyle style =
            styleFor(QStringLiteral("DejaVu Sans"), 11, themes.at(2));
        screens.append(
            screenOf(QStringLiteral("screen-small-11px"), TextKind::prose, screen,
                     {{QRect(QPoint(0, 0), screen), style, filling(page.height(), style, prose)}}));
    }
    {
        // A terminal of the other theme over part of a light screen: it covers too little of any
        // row or column to be a stripe of its own.
        const SampleImages::TextStyle paper =
            styleFor(QStringLiteral("Liberation Sans"), 13, themes.at(0));
        const SampleImages::TextStyle terminal =
            styleFor(QStringLiteral("DejaVu Sans Mono"), 13, themes.at(3));
        const QRect window(1180, 220, 700, 520);
        screens.append(screenOf(
            QStringLiteral("screen-terminal-13px"), TextKind::code, screen,
            {{QRect(0, 0, 1140, screen.height()), paper, filling(page.height(), paper, prose)},
             {window, terminal, filling(window.height() - 40, terminal, code)}}));
    }
    {
        // A light window on a dark desktop.
        const SampleImages::TextStyle desktop =
            styleFor(QStringLiteral("DejaVu Sans"), 13, themes.at(4));
        const SampleImages::TextStyle window =
            styleFor(QStringLiteral("DejaVu Serif"), 13, themes.at(5));
        const QRect area(360, 120, 1100, 760);
        screens.append(screenOf(QStringLiteral("screen-dark-desktop-13px"), TextKind::prose, screen,
                                {{QRect(QPoint(0, 0), screen), desktop, {}},
                                 {area, window, filling(area.height() - 40, window, prose)}}));
    }
    return screens;
}

QList<CorpusImage> screenText(bool isHeldOut)
{
    const Variant &variant = isHeldOut ? heldOut : tuned;
    QList<CorpusImage> corpus;
    for (int i = 0; i < 48; ++i) {
        corpus.append(codeItem(i, variant));
    }
    for (int i = 0; i < 16; ++i) {
        corpus.append(proseItem(i, variant));
    }
    for (int i = 0; i < 16; ++i) {
        corpus.append(uiItem(i, variant));
    }
    return corpus;
}

} // namespace Corpus
