// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/TextAssembly.h"

#include "KeloLens/Recognition/CodeTokens.h"
#include "KeloLens/Recognition/JoinedLetters.h"
#include "KeloLens/Recognition/KeyNames.h"
#include "KeloLens/Recognition/QuoteStyle.h"
#include "KeloLens/Recognition/TextBlocks.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

// Boxes are given as (left, bottom, width, height) in normalized, bottom-left-origin coordinates.
RecognizedLine line(const QString &text, double x, double y, double w, double h)
{
    return {text, ExactRect{x, y, w, h}};
}

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(TextAssembly, SingleLineKeepsItsTextInTheParagraphButTrimsHorizontalSpaceInTheText)
{
    const QString raw = QStringLiteral("\t\u00a0 Hello world \u3000\t");
    const QList<Paragraph> paragraphs = groupParagraphs({line(raw, 0.1, 0.5, 0.5, 0.05)});
    ASSERT_EQ(paragraphs.size(), 1);
    EXPECT_EQ(paragraphs.first().lines, QStringList{raw});
    EXPECT_EQ(assembleText(paragraphs, LineBreakMode::keepLines, false),
              QStringLiteral("Hello world"));
}

TEST(TextAssembly, FragmentsOnOneRowMergeLeftToRightWithTheirBoxesUnited)
{
    const RecognizedLine right = line(QStringLiteral("world"), 0.5, 0.50, 0.2, 0.10);
    const RecognizedLine left = line(QStringLiteral("Hello "), 0.1, 0.52, 0.3, 0.10);
    const QList<RecognizedLine> rows = groupRows({right, left});
    ASSERT_EQ(rows.size(), 1);
    // The fragment's own trailing space stays: merging does not trim.
    EXPECT_EQ(rows.first().text, QStringLiteral("Hello  world"));
    EXPECT_EQ(rows.first().box, (ExactRect{0.1, 0.50, 0.6, 0.12}));

    // A row of one line is that line, unchanged.
    EXPECT_EQ(mergeRow({right}), right);
}

TEST(TextAssembly, SlantedLineJoinsOnlyWhileNearTheRowsFirstFragment)
{
    // Each fragment rises 0.03 over the previous one; the tolerance is 0.05. The third is within
    // tolerance of the second but not of the first, so it starts a new row.
    const RecognizedLine first = line(QStringLiteral("one"), 0.0, 0.50, 0.2, 0.1);
    const RecognizedLine second = line(QStringLiteral("two"), 0.3, 0.53, 0.2, 0.1);
    const RecognizedLine third = line(QStringLiteral("three"), 0.6, 0.56, 0.2, 0.1);
    const QList<RecognizedLine> rows = groupRows({first, second, third});
    ASSERT_EQ(rows.size(), 2);
    // Rows come out in the order they were started: highest centre first.
    EXPECT_EQ(rows.at(0).text, QStringLiteral("two three"));
    EXPECT_EQ(rows.at(1).text, QStringLiteral("one"));
}

TEST(TextAssembly, RowsThatOverlapShareAParagraph)
{
    // Rows that overlap vertically (negative gap) but are too far apart in centre to share a row
    // stay in one paragraph.
    const QList<Paragraph> overlapping =
        groupParagraphs({line(QStringLiteral("tall"), 0.0, 0.3, 0.2, 0.4),
                         line(QStringLiteral("short"), 0.5, 0.3, 0.2, 0.1)});
    ASSERT_EQ(overlapping.size(), 1);
    EXPECT_EQ(overlapping.first().lines,
              (QStringList{QStringLiteral("tall"), QStringLiteral("short")}));
}

TEST(TextAssembly, NotANumberNeverJoinsRowsAndNeverSplitsParagraphs)
{
    // Two lines at the same place, one with no usable vertical position: they cannot be
    // compared, so they form separate rows, and an incomparable gap keeps one paragraph.
    const QList<RecognizedLine> lines = {line(QStringLiteral("a"), 0.0, 0.8, 0.2, 0.1),
                                         line(QStringLiteral("b"), 0.0, notANumber, 0.2, 0.1)};
    EXPECT_EQ(groupRows(lines).size(), 2);
    const QList<Paragraph> paragraphs = groupParagraphs(lines);
    ASSERT_EQ(paragraphs.size(), 1);
    EXPECT_EQ(paragraphs.first().lines, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(TextAssembly, BothModesSeparateParagraphsWithOneBlankLine)
{
    const QList<Paragraph> paragraphs = {Paragraph{{QStringLiteral("one"), QStringLiteral("two")}},
                                         Paragraph{{QStringLiteral("three")}}};
    EXPECT_EQ(assembleText(paragraphs, LineBreakMode::keepLines, true),
              QStringLiteral("one\ntwo\n\nthree"));
    EXPECT_EQ(assembleText(paragraphs, LineBreakMode::joinParagraphs, true),
              QStringLiteral("one two\n\nthree"));

    // A row of spaces trims to nothing but keeps its separator.
    const QList<Paragraph> blankRow = {
        Paragraph{{QStringLiteral("a"), QStringLiteral("   "), QStringLiteral("b")}}};
    EXPECT_EQ(assembleText(blankRow, LineBreakMode::keepLines, true), QStringLiteral("a\n\nb"));
    EXPECT_EQ(assembleText(blankRow, LineBreakMode::joinParagraphs, true), QStringLiteral("a  b"));
}

TEST(TextAssembly, DehyphenationJoinsOnlyAfterALetter)
{
    auto joined = [](const QString &first, const QString &second, LineBreakMode mode, bool strip) {
        return assembleText({Paragraph{{first, second}}}, mode, strip);
    };
    const auto keep = LineBreakMode::keepLines;
    const auto join = LineBreakMode::joinParagraphs;

    EXPECT_EQ(joined(QStringLiteral("recog-"), QStringLiteral("nition"), keep, true),
              QStringLiteral("recognition"));
    EXPECT_EQ(joined(QStringLiteral("recog-"), QStringLiteral("nition"), join, true),
              QStringLiteral("recognition"));
    // Letters beyond ASCII count, and the trailing space of a row is trimmed before the test.
    EXPECT_EQ(joined(QStringLiteral("Straßen-  "), QStringLiteral("bahn"), keep, true),
              QStringLiteral("Straßenbahn"));
    // A letter with a combining mark is still a letter.
    EXPECT_EQ(joined(QStringLiteral("cafe\u0301-"), QStringLiteral("s"), keep, true),
              QStringLiteral("cafe\u0301s"));
    // However many marks it carries; and a mark piled on a digit is no letter.
    const QString marks(40, QChar(0x0301));
    EXPECT_EQ(joined(u'e' + marks + u'-', QStringLiteral("s"), keep, true), u'e' + marks + u's');
    EXPECT_EQ(joined(u'2' + marks + u'-', QStringLiteral("5"), keep, true),
              u'2' + marks + QStringLiteral("-\n5"));

    EXPECT_EQ(joined(QStringLiteral("2024-"), QStringLiteral("25"), keep, true),
              QStringLiteral("2024-\n25"));
    EXPECT_EQ(joined(QStringLiteral("a.-"), QStringLiteral("b"), join, true),
              QStringLiteral("a.- b"));
    // Only hyphen-minus: an en dash or a hyphen carrying a combining mark does not join.
    EXPECT_EQ(joined(QStringLiteral("a\u2013"), QStringLiteral("b"), keep, true),
              QStringLiteral("a\u2013\nb"));
    EXPECT_EQ(joined(QStringLiteral("a-\u0301"), QStringLiteral("b"), keep, true),
              QStringLiteral("a-\u0301\nb"));

    EXPECT_EQ(joined(QStringLiteral("recog-"), QStringLiteral("nition"), keep, false),
              QStringLiteral("recog-\nnition"));
    EXPECT_EQ(joined(QStringLiteral("recog-"), QStringLiteral("nition"), join, false),
              QStringLiteral("recog- nition"));

    // The test looks at the whole accumulated text, so a joined word can join again.
    EXPECT_EQ(
        assembleText({Paragraph{{QStringLiteral("a-"), QStringLiteral("b-"), QStringLiteral("c")}}},
                     keep, true),
        QStringLiteral("abc"));
}

TEST(TextAssembly, WithADictionaryOnlyAWordLosesItsHyphen)
{
    const QStringList words = {"recognition", "self", "contained", "well", "known"};
    AssemblyHints hints;
    hints.isWord = [&words](const QString &word) { return words.contains(word.toLower()); };
    const auto joined = [&](const QString &first, const QString &second, LineBreakMode mode) {
        return assembleText({Paragraph{{first, second}}}, mode, true, hints);
    };
    const auto keep = LineBreakMode::keepLines;
    EXPECT_EQ(joined(QStringLiteral("the recog-"), QStringLiteral("nition pass"), keep),
              QStringLiteral("the recognition pass"));
    EXPECT_EQ(joined(QStringLiteral("Recog-"), QStringLiteral("nition."), keep),
              QStringLiteral("Recognition."));
    // A compound keeps its hyphen; the line break still goes.
    EXPECT_EQ(joined(QStringLiteral("a self-"), QStringLiteral("contained example"), keep),
              QStringLiteral("a self-contained example"));
    EXPECT_EQ(
        joined(QStringLiteral("well-"), QStringLiteral("known"), LineBreakMode::joinParagraphs),
        QStringLiteral("well-known"));
    // Nothing that starts like a word follows: the line break stays too.
    EXPECT_EQ(joined(QStringLiteral("self-"), QStringLiteral("(see below)"), keep),
              QStringLiteral("self-\n(see below)"));

    // Program text keeps its hyphens and its lines as they are.
    AssemblyHints code = hints;
    code.isPreformatted = true;
    EXPECT_EQ(assembleText({Paragraph{{QStringLiteral("x = recog-"), QStringLiteral("  nition")}}},
                           keep, true, code),
              QStringLiteral("x = recog-\n  nition"));
}

TEST(TextAssembly, MonospaceRowsKeepTheirCellsAsDrawn)
{
    // Cells 0.01 wide: fragments of one row are as far apart as drawn, rows indented by the
    // cells they start right of the leftmost.
    const auto mono = [](const QString &text, double x, double y) {
        return RecognizedLine{text, ExactRect{x, y, 0.01 * double(text.size()), 0.05}, 0.01};
    };
    const QList<Paragraph> paragraphs = groupParagraphs({
        mono(QStringLiteral("def f():"), 0.10, 0.80),
        mono(QStringLiteral("x = 1"), 0.14, 0.73),
        mono(QStringLiteral("# one"), 0.24, 0.73),
        mono(QStringLiteral("return x"), 0.14, 0.66),
    });
    ASSERT_EQ(paragraphs.size(), 1);
    EXPECT_EQ(paragraphs.first().lines,
              (QStringList{"def f():", "    x = 1     # one", "    return x"}));
    AssemblyHints code;
    code.isPreformatted = true;
    EXPECT_EQ(assembleText(paragraphs, LineBreakMode::keepLines, true, code),
              QStringLiteral("def f():\n    x = 1     # one\n    return x"));
    // Prose is trimmed as ever; so is program text joined into one line.
    EXPECT_EQ(assembleText(paragraphs, LineBreakMode::keepLines, true),
              QStringLiteral("def f():\nx = 1     # one\nreturn x"));
    EXPECT_EQ(assembleText(paragraphs, LineBreakMode::joinParagraphs, true, code),
              QStringLiteral("def f(): x = 1     # one return x"));
}

TEST(CodeTokens, LookAlikesAreFittedOnlyWhereTheTokenLeavesNoDoubt)
{
    const QList<std::pair<QString, QString>> cases = {
        {"setsockopt(fd, S0_REUSEADDR);", "setsockopt(fd, SO_REUSEADDR);"},
        {"url = \u201cexamp1e\u201d", "url = \"example\""},
        {"x = l;", "x = 1;"},
        {"return -l;", "return -1;"},
        {"grep -rn 'TODO' src/ | wc -l", "grep -rn 'TODO' src/ | wc -l"},
        // Names that end in a digit, and a loop over a list named l, are what they say.
        {"int item1 = test1(node10);", "int item1 = test1(node10);"},
        {"BUFFER0 = PAGE1", "BUFFER0 = PAGE1"},
        {"for l in lines:", "for l in lines:"},
        {"SN-00I1-lO01", "SN-00I1-lO01"},
        // Brackets and quotes that pair up once a look-alike is read for what it stands for; a
        // block opened and left open, a decorator and an address stay.
        {"setsockopt(fd, sizeof{on));", "setsockopt(fd, sizeof(on));"},
        {"  {use \"git add\" to commit)", "  (use \"git add\" to commit)"},
        {"    b) {", "    b) {"},
        {"if (x) {", "if (x) {"},
        {"items.map(x => {", "items.map(x => {"},
        {"  \"version\u2122: \"1.2.0\",", "  \"version\": \"1.2.0\","},
        {"const url = `v1/${id}\";", "const url = `v1/${id}`;"},
        {"const url = 'v1/${id}\"; echo \"${HOME}\"", "const url = `v1/${id}`; echo \"${HOME}\""},
        {"f(\"${a}*);", "f(`${a}`);"},
        {"return \u00F0; f(a, @);", "return 0; f(a, 0);"},
        {"          beta0)", "          beta0)"},
        {"fn mainQ) {", "fn main() {"},
        {"println!(\"{}\", v.lenQ)); f(MAX_Q);", "println!(\"{}\", v.len()); f(MAX_Q);"},
        // An index's "[" read as an "l"; a "]" of its own, or a longer index, stays as read.
        {"x = ali] + blj] + arr10];", "x = a[i] + b[j] + arr[0];"},
        {"a[i] = buf_len]; x1]", "a[i] = buf_len]; x1]"},
        {"buf[i] = '\\o'; c = \"\\O\"; t = 'o'", "buf[i] = '\\0'; c = \"\\0\"; t = 'o'"},
        {"Run 'make test` before `git push`.", "Run `make test` before `git push`."},
        {"It's `x` or `y", "It's `x` or `y"},
        {"@property mail(a@b.org)", "@property mail(a@b.org)"},
        // Options and variables of shell lines; where "-1" is an option of its own, and names
        // that are no variable with a "$" before them, they stay.
        {"$ sudo wc -1 a | sort -k1", "$ sudo wc -l a | sort -k1"},
        {"$ grep x f | we -1; echo we -l", "$ grep x f | wc -l; echo we -l"},
        {"$ 1s build/ && 1s; echo 1s", "$ ls build/ && ls; echo 1s"},
        {"fusr/local/bin:fbin", "/usr/local/bin:/bin"},
        {"cp fetc/hosts x/fetc fusrx", "cp /etc/hosts x/fetc fusrx"},
        {"$ ls -1 && git log -1; rm -1r x", "$ ls -1 && git log -1; rm -lr x"},
        {"echo \"SHOME\" $SHELL SHELL SPATHS", "echo \"$HOME\" $SHELL SHELL SPATHS"},
        // Names every program uses, their "l"s read as look-alikes; names of one's own stay.
        {"printin!(\"{}\", v.Ien());", "println!(\"{}\", v.len());"},
        {"if x is nuii or seif.vaiue:", "if x is null or self.value:"},
        {"int lint = iter(list1) + Iterator(ia1);", "int lint = iter(list1) + Iterator(ia1);"},
    };
    for (const auto &[read, meant] : cases) {
        EXPECT_EQ(CodeTokens::corrected(read), meant) << read.toStdString();
    }
}

TEST(QuoteStyle, ALineQuotingWithStraightMarksHasNoCurlyOnes)
{
    const QList<std::pair<QString, QString>> cases = {
        {"Use 'single' or \u201cdouble\u201d quotes.", "Use 'single' or \"double\" quotes."},
        {"Her reply: \u2018see you at eight'.", "Her reply: 'see you at eight'."},
        // Curly quotes around a straight apostrophe are the line's own style.
        {"\u201cDon't\u201d, she said.", "\u201cDon't\u201d, she said."},
        {"It\u2019s \u2018fine\u2019.", "It\u2019s \u2018fine\u2019."},
        {"Hans' Auto hei\u00dft \u201eBlitz\u201c.", "Hans' Auto hei\u00dft \u201eBlitz\u201c."},
    };
    for (const auto &[read, meant] : cases) {
        EXPECT_EQ(QuoteStyle::matched(read), meant) << read.toStdString();
    }
}

TEST(KeyNames, OnlyANameInAShortcutIsMended)
{
    EXPECT_EQ(KeyNames::mended(QStringLiteral("Quit: Ctri+Shift+Q, Alt+F4 or Esc")),
              QStringLiteral("Quit: Ctrl+Shift+Q, Alt+F4 or Esc"));
    EXPECT_EQ(KeyNames::mended(QStringLiteral("Ctr1+A1t+De1")), QStringLiteral("Ctrl+Alt+Del"));
    EXPECT_EQ(KeyNames::mended(QStringLiteral("Ctri is not a key, x+Ctri is")),
              QStringLiteral("Ctri is not a key, x+Ctrl is"));
}

TEST(JoinedLetters, OnlyWhatTheDictionaryKnowsIsMended)
{
    const QStringList known = {"Open", "Recent", "turnaround", "modem", "modern", "is",
                               "A",    "I",      "self",       "Aside", "side"};
    const WordCheck isWord = [&](const QString &word) { return known.contains(word); };
    EXPECT_EQ(JoinedLetters::mended(QStringLiteral("Open1Recent, tumaround: modem is"), isWord),
              QStringLiteral("Open Recent, turnaround: modem is"));
    EXPECT_EQ(JoinedLetters::mended(QStringLiteral("Aself-contained Aside Iself Eself"), isWord),
              QStringLiteral("A self-contained Aside I self Eself"));
    // Not between two words, or not before a capital: the stroke is the text's.
    EXPECT_EQ(JoinedLetters::mended(QStringLiteral("Open1Other, Open1recent, Win10Pro"), isWord),
              QStringLiteral("Open1Other, Open1recent, Win10Pro"));
}

TEST(TextBlocks, ASidebarBesideAPageIsItsOwnBlockUnlessItsRowsShareBaselines)
{
    // A sidebar's items, every other page row apart, beside the page's lines: on the page's rows
    // they are a form's labels and stay with them; 0.4 of a line lower they are not.
    const auto blocksWithItemsLower = [](double offset) {
        constexpr double row = 0.02;
        QList<RecognizedLine> lines;
        for (int i = 0; i < 8; ++i) {
            lines.append(line(QStringLiteral("Item %1").arg(i), 0.01, 0.9 - 2 * i * row - offset,
                              0.08, 0.7 * row));
        }
        for (int i = 0; i < 16; ++i) {
            lines.append(
                line(QStringLiteral("Page line %1").arg(i), 0.2, 0.9 - i * row, 0.4, 0.7 * row));
        }
        return TextBlocks::split(lines).size();
    };
    EXPECT_EQ(blocksWithItemsLower(0), 1);
    EXPECT_EQ(blocksWithItemsLower(0.4 * 0.7 * 0.02), 2);
}
