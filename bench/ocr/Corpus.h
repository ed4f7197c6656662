// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// What a text image shows: prose in a proportional font, program text in a monospace font, or
// pieces of a user interface (labels, menus, forms).
enum class TextKind {
    prose,
    code,
    ui,
};

// The colours a corpus page is drawn in, as editors, terminals and dialogs show text.
struct Theme
{
    const char *name;
    QColor background;
    QColor text;
    bool isDark;
};

// Screen-like images with their known content: text drawn with QPainter in the system's fonts,
// codes written with ZXing's writer.
struct CorpusImage
{
    QString name;
    QImage image;
    QList<QStringList> paragraphs; // the text drawn, as paragraphs of lines; empty for none
    QStringList payloads;          // the codes drawn
    QString theme;
    TextKind kind = TextKind::prose;
    bool isDark = false;
};

namespace Corpus {

// Text images (no codes) followed by code images; the same every run.
[[nodiscard]] QList<CorpusImage> build();

// Whole screens densely filled with document text: light and dark, serif and sans, 13-16 px.
[[nodiscard]] QList<CorpusImage> fullScreenPages(QSize screen = QSize(1920, 1080));

// Captures of a single code and nothing else, some cut right along the code's edge.
[[nodiscard]] QList<CorpusImage> codeOnlyCaptures();

} // namespace Corpus
