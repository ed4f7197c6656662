// SPDX-License-Identifier: GPL-3.0-or-later
// Captures of whole desktops and of parts of them with windows of both themes, rules and bare
// areas, read end to end.
#include "KeloLens/Recognition/Recognizer.h"
#include "samples/SampleImages.h"

#include <QCoro/QCoroTask>
#include <QPainter>

#include <gtest/gtest.h>

using namespace SampleImages;

namespace {

RecognitionResult recognize(const QImage &image)
{
    Recognizer recognizer;
    return QCoro::waitFor(recognizer.recognize(image, {QStringLiteral("en")}, {}));
}

} // namespace

TEST(WholeScreen, ReadsALightAndADarkWindowOfAWholeScreenEachInFull)
{
    // The dark window is neither taken for a picture nor read into the light one's lines.
    const QStringList page = {QStringLiteral("The release was approved"),
                              QStringLiteral("yesterday with minor changes"),
                              QStringLiteral("to the settings panel.")};
    const QStringList terminal = {QStringLiteral("Build finished in 42 seconds"),
                                  QStringLiteral("No warnings were found"),
                                  QStringLiteral("Deployed to the staging server")};
    QImage screen(1600, 700, QImage::Format_RGB32);
    screen.fill(light.background);
    QPainter painter(&screen);
    painter.drawImage(0, 0, text(page, textStyle(13)));
    painter.fillRect(800, 0, 800, 700, dark.background);
    painter.drawImage(800, 0, text(terminal, textStyle(13, dark)));
    painter.end();
    EXPECT_EQ(recognize(screen).text, page.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                          terminal.join(QLatin1Char('\n')));
}

TEST(WholeScreen, ReadsAWindowOrABlockOfTheOtherThemeThatCoversPartOfACapture)
{
    // A dark terminal on a light screen, and a light window on a dark desktop: neither covers a
    // whole row or column of the screen.
    const QStringList page = {QStringLiteral("The release was approved"),
                              QStringLiteral("yesterday with minor changes.")};
    const QStringList terminal = {QStringLiteral("$ grep -rn 'TODO' src/ | wc -l"),
                                  QStringLiteral("No warnings were found")};
    TextStyle mono = textStyle(13, dark);
    mono.family = QStringLiteral("DejaVu Sans Mono");
    QImage screen(1600, 900, QImage::Format_RGB32);
    screen.fill(light.background);
    QPainter painter(&screen);
    painter.drawImage(0, 0, text(page, textStyle(13)));
    painter.fillRect(900, 200, 600, 400, dark.background);
    painter.drawImage(900, 200, text(terminal, mono));
    painter.end();
    EXPECT_EQ(recognize(screen).text, page.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                          terminal.join(QLatin1Char('\n')));

    const Theme window{QColor(246, 245, 244), QColor(46, 52, 54)};
    QStringList prose = page;
    prose += QStringLiteral("Meeting moved to 3:30 pm; see the updated agenda.");
    QImage desktop(1600, 900, QImage::Format_RGB32);
    desktop.fill(QColor(13, 17, 23));
    painter.begin(&desktop);
    painter.fillRect(300, 100, 900, 600, window.background);
    painter.drawImage(300, 100, text(prose, textStyle(13, window), 900));
    painter.end();
    EXPECT_EQ(recognize(desktop).text, prose.join(QLatin1Char('\n')));

    // A light panel with rounded corners on a blue desktop, holding a box and buttons a few
    // shades off its own, and small grey text: its corners leave no arcs of ink.
    const Theme panel{QColor(246, 246, 246), QColor(90, 90, 90)};
    const Theme box{QColor(231, 231, 231), Qt::black};
    const QStringList hint = {QStringLiteral("Paste needs permission to send keystrokes,"),
                              QStringLiteral("which this session does not give.")};
    desktop.fill(QColor(0, 56, 140));
    painter.begin(&desktop);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(panel.background);
    painter.drawRoundedRect(QRect(430, 110, 420, 400), 14, 14);
    painter.setBrush(box.background);
    painter.drawRoundedRect(QRect(444, 122, 392, 250), 6, 6);
    painter.drawImage(446, 124, text({QStringLiteral("Portal capture")}, textStyle(13, box)));
    painter.drawRoundedRect(QRect(444, 400, 120, 28), 14, 14);
    painter.setPen(Qt::black);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    painter.drawText(QRect(444, 400, 120, 28), Qt::AlignCenter, QStringLiteral("Allow Paste"));
    painter.drawImage(430, 440, text(hint, textStyle(11, panel)));
    painter.end();
    EXPECT_EQ(recognize(desktop).text,
              QStringLiteral("Portal capture\n\nAllow Paste\n\n") + hint.join(QLatin1Char('\n')));

    // A black terminal on a dark grey desktop: little apart, but the other theme all the same.
    desktop.fill(QColor(46, 52, 64));
    painter.begin(&desktop);
    painter.fillRect(500, 300, 640, 360, Qt::black);
    TextStyle onBlack = mono;
    onBlack.theme = {Qt::black, QColor(220, 220, 220)};
    painter.drawImage(500, 300, text(terminal, onBlack));
    painter.end();
    EXPECT_EQ(recognize(desktop).text, terminal.join(QLatin1Char('\n')));

    // A dark block of commands on a light page, captured alone.
    const QStringList before = {QStringLiteral("To count the open items, run the following"),
                                QStringLiteral("command in the project's folder:")};
    const QStringList commands = {QStringLiteral("$ grep -rn 'TODO' src/ | wc -l"),
                                  QStringLiteral("$ export BUF_SIZE=1024")};
    const Theme block{QColor(13, 17, 23), QColor(201, 209, 217)};
    TextStyle blockStyle = textStyle(14, block);
    blockStyle.family = mono.family;
    QImage docs(760, 330, QImage::Format_RGB32);
    docs.fill(light.background);
    painter.begin(&docs);
    painter.drawImage(0, 0, text(before, textStyle(15)));
    painter.fillRect(16, 90, 600, 90, block.background);
    painter.drawImage(24, 100, text(commands, blockStyle));
    painter.drawImage(0, 200, text(page, textStyle(15)));
    painter.end();
    EXPECT_EQ(recognize(docs).text, before.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                        commands.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                        page.join(QLatin1Char('\n')));
}

TEST(WholeScreen, ReadsTextBesideTheEdgesOfWindowsOnAWholeScreen)
{
    // The last lines of a terminal, between the bottom edge of the window beside it and its own.
    const QStringList page = {QStringLiteral("The release was approved"),
                              QStringLiteral("yesterday with minor changes.")};
    const QStringList terminal = {QStringLiteral("$ echo \"$HOME\""), QStringLiteral("/home/jane")};
    TextStyle mono = textStyle(13);
    mono.family = QStringLiteral("DejaVu Sans Mono");
    QImage screen(1600, 900, QImage::Format_RGB32);
    screen.fill(light.background);
    QPainter painter(&screen);
    painter.drawImage(40, 40, text(page, textStyle(13)));
    painter.setPen(QPen(QColor(20, 20, 20), 2));
    painter.drawRect(30, 30, 1000, 460);
    painter.drawRect(1000, 300, 560, 400);
    painter.drawImage(1002, 440, text(terminal, mono));
    painter.end();
    EXPECT_EQ(recognize(screen).text, page.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                          terminal.join(QLatin1Char('\n')));
}

TEST(WholeScreen, ReadsAScreenOfSmallGreyTextBesideASidebarAndTheBlackDesktopInOrder)
{
    // Most of the screen is a dark window, so the light page and its sidebar are turned before
    // reading, and the black of the desktop below them turns white. Grey 11 px prose is prose,
    // not a grid; the sidebar's widely spaced items are not rows of the page.
    const QStringList items = {QStringLiteral("Downloads"),
                               QStringLiteral("Last modified"),
                               QStringLiteral("Size"),
                               QStringLiteral("Forgot password?"),
                               QStringLiteral("Reset to defaults"),
                               QStringLiteral("Do not disturb")};
    QStringList prose = {QStringLiteral("Please reply by Friday, 14 March, if you can't attend."),
                         QStringLiteral("Thanks again for the quick turnaround!"),
                         QStringLiteral("Prices start at $9.99 per month (billed yearly)."),
                         QStringLiteral("Meeting moved to 3:30 pm; see the updated agenda."),
                         QStringLiteral("The well-known trick works only on 64-bit systems."),
                         QStringLiteral("Order #10482 was shipped to 221B Baker Street."),
                         QStringLiteral("The build finished in 42 seconds, with 3 warnings.")};
    prose += prose;
    const QStringList terminal = {QStringLiteral("Build finished in 42 seconds"),
                                  QStringLiteral("No warnings were found")};
    const Theme sidebar{QColor(245, 245, 245), QColor(60, 60, 60)};
    const Theme page{QColor(253, 246, 227), QColor(104, 104, 104)};
    TextStyle itemStyle = textStyle(14, sidebar);
    itemStyle.lineSpacing = 2.2;
    QImage screen(1600, 800, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter painter(&screen);
    painter.fillRect(0, 0, 200, 560, sidebar.background);
    painter.drawImage(0, 360, text(items, itemStyle, 200));
    painter.fillRect(200, 0, 400, 760, page.background);
    painter.drawImage(200, 500, text(prose, textStyle(11, page), 400));
    painter.fillRect(640, 0, 960, 800, dark.background);
    painter.drawImage(640, 500, text(terminal, textStyle(13, dark)));
    painter.end();
    // The items stand far enough apart to be paragraphs of their own.
    EXPECT_EQ(recognize(screen).text, items.join(QStringLiteral("\n\n")) + QStringLiteral("\n\n") +
                                          prose.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                          terminal.join(QLatin1Char('\n')));
}
