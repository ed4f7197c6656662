// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <ZXing/BarcodeFormat.h>
#include <string>

// Screen-like pictures with known content, shared by the tests, the benchmarks and the sample
// program: text drawn with QPainter in a system font the way a screen draws it, codes written
// with ZXing's writer.
namespace SampleImages {

struct Theme
{
    QColor background;
    QColor text;
};

inline const Theme light{QColor(255, 255, 255), QColor(20, 20, 20)};
inline const Theme dark{QColor(30, 30, 30), QColor(212, 212, 212)};

struct TextStyle
{
    QString family = QStringLiteral("DejaVu Sans");
    int pixelSize = 14;
    Theme theme = light;
    double lineSpacing = 1.5; // line height over pixel size
    int paragraphGap = -1;    // pixels an empty line takes; one line height when negative
    int scale = 1;            // device pixels per pixel, as on a high-density screen
};

[[nodiscard]] inline TextStyle textStyle(int pixelSize, const Theme &theme = light)
{
    TextStyle style;
    style.pixelSize = pixelSize;
    style.theme = theme;
    return style;
}

// Lines drawn top to bottom, each centred in its line height, `margin` from the top left; an
// empty string leaves a paragraph gap. A width of 0 fits the widest line with the same margin
// on the right. Width and margin are in pixels before `scale`.
[[nodiscard]] QImage text(const QStringList &lines, const TextStyle &style = {}, int width = 0,
                          QPoint margin = QPoint(16, 16));

// A code as ZXing's writer lays it out, `moduleSize` pixels per module, with a quiet zone of
// `quietModules` modules (10 for linear codes and 4 for the others when negative). Linear
// codes are `barHeight` pixels tall.
[[nodiscard]] QImage code(const std::string &payload, ZXing::BarcodeFormat format, int moduleSize,
                          const Theme &theme = light, int barHeight = 50, int quietModules = -1);

// An EAN-13 as printed on a product: the thirteen digits under the bars, the first to their left,
// the guard bars reaching down between the two groups of six.
[[nodiscard]] QImage retailBarcode(const std::string &digits, int moduleSize = 2);

[[nodiscard]] QImage qrCode(const std::string &payload, const Theme &theme = light,
                            int moduleSize = 4);

// Pictures placed side by side, `gap` pixels apart and from the edges, on one background.
[[nodiscard]] QImage sideBySide(const QList<QImage> &parts, const Theme &theme = light,
                                int gap = 16);

} // namespace SampleImages
