// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/Symbols.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>

namespace {

const QList<Symbol> allSymbols = {Symbol::copy,       Symbol::checkmark, Symbol::paste,
                                  Symbol::allowPaste, Symbol::more,      Symbol::reset,
                                  Symbol::success,    Symbol::remove,    Symbol::captureText};

// The distinct colours of the nearly opaque pixels.
QSet<QRgb> visibleColors(const QIcon &icon, QIcon::Mode mode = QIcon::Normal)
{
    const QImage image =
        icon.pixmap(QSize(32, 32), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colors;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 200) {
                colors.insert(image.pixel(x, y) | 0xff000000);
            }
        }
    }
    return colors;
}

// Whether there are colours and all are the given one, give or take rounding.
bool areAll(const QSet<QRgb> &colors, QColor expected)
{
    const auto near = [&](QRgb c) {
        return std::abs(qRed(c) - expected.red()) + std::abs(qGreen(c) - expected.green()) +
                   std::abs(qBlue(c) - expected.blue()) <=
               4;
    };
    return !colors.isEmpty() && std::all_of(colors.begin(), colors.end(), near);
}

// Selects an icon theme for as long as it lives.
class ScopedIconTheme
{
public:
    ScopedIconTheme(const QStringList &searchPaths, const QString &name)
        : m_paths(QIcon::themeSearchPaths()), m_name(QIcon::themeName())
    {
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(name);
    }
    ~ScopedIconTheme()
    {
        QIcon::setThemeSearchPaths(m_paths);
        QIcon::setThemeName(m_name);
    }

private:
    QStringList m_paths;
    QString m_name;
};

} // namespace

TEST(Symbols, BundledSymbolsAreDrawnInTheTint)
{
    const QColor tint(200, 30, 40);
    for (Symbol symbol : allSymbols) {
        const QSet<QRgb> colors = visibleColors(bundledSymbolIcon(symbol, tint));
        ASSERT_FALSE(colors.isEmpty()) << int(symbol);
        EXPECT_TRUE(areAll(colors, tint)) << int(symbol);
    }
    EXPECT_TRUE(visibleColors(bundledSymbolIcon(Symbol::copy, tint), QIcon::Disabled).isEmpty())
        << "disabled symbols are faded";
}

TEST(Symbols, TheDesktopThemeWinsWhereItHasTheSymbol)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString themeDir = root.filePath(QStringLiteral("kelo-test/32x32/actions"));
    ASSERT_TRUE(QDir().mkpath(themeDir));
    QFile index(root.filePath(QStringLiteral("kelo-test/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=kelo-test\nDirectories=32x32/actions\n\n"
                "[32x32/actions]\nSize=32\nType=Fixed\n");
    index.close();
    QImage green(32, 32, QImage::Format_ARGB32);
    green.fill(QColor(0, 160, 0));
    ASSERT_TRUE(green.save(themeDir + QStringLiteral("/edit-copy.png")));

    ScopedIconTheme theme({root.path()}, QStringLiteral("kelo-test"));
    const QColor tint(200, 30, 40);
    EXPECT_TRUE(areAll(visibleColors(symbolIcon(Symbol::copy, tint)), QColor(0, 160, 0)));
    // The theme has no paste picture: ours stands in.
    EXPECT_TRUE(areAll(visibleColors(symbolIcon(Symbol::paste, tint)), tint));
}
