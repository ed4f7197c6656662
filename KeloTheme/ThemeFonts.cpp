// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/ThemeFonts.h"

#include <QGuiApplication>

QFont themeFont(TextStyle style)
{
    QFont font = QGuiApplication::font();
    switch (style) {
    case TextStyle::body:
        font.setPixelSize(13);
        break;
    case TextStyle::headline:
        font.setPixelSize(13);
        font.setWeight(QFont::DemiBold);
        break;
    case TextStyle::button:
        font.setPixelSize(12);
        break;
    case TextStyle::caption:
        font.setPixelSize(11);
        break;
    case TextStyle::caption2:
        font.setPixelSize(10);
        font.setWeight(QFont::DemiBold);
        break;
    }
    return font;
}
