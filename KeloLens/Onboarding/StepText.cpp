// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Onboarding/StepText.h"

#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QLabel>

namespace StepText {
namespace {

QLabel *label(const QString &text, const QFont &font, bool isSecondary)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    label->setFont(font);
    if (isSecondary) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, ThemeColors::secondary(palette));
        label->setPalette(palette);
    }
    return label;
}

} // namespace

QLabel *title(const QString &text, int pixelSize)
{
    QFont font = themeFont(TextStyle::body);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return label(text, font, false);
}

QLabel *secondary(const QString &text)
{
    return label(text, themeFont(TextStyle::body), true);
}

QLabel *caption(const QString &text)
{
    return label(text, themeFont(TextStyle::caption), true);
}

} // namespace StepText
