// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/HelperProcess.h"

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

// What a user does and sees on the test's X server, beyond the shared X11 harness: drags and
// clicks, windows found by title, and the text on screen read back with our own recognizer from
// a screen grab.
namespace KeloE2E {

// Presses, moves in small steps and releases, as a hand would, so a region tool sees a drag.
bool drag(QPoint from, QPoint to);
bool click(QPoint at, int button = 1);
// The clipboard's text as another application reads it.
QString clipboardText();
// Windows whose title contains the text, newest last.
QList<quint64> windowsNamed(const QString &title);
std::optional<QRect> windowGeometry(quint64 window);
// The text the screen shows inside the rectangle (the whole screen when empty), one line per
// recognized line.
QStringList textOnScreen(const QRect &area = {});
// The text an image shows (a screenshot taken on another desktop), one line per recognized line.
QStringList textIn(const QImage &image);
// Each recognized line of an image with where it is, in the image's pixels.
QList<QPair<QString, QRect>> linesIn(const QImage &image);
// The same for the light surface (a menu, a dialog) inside the area, ignoring the dark desktop
// around it, which would make the page look like light text on dark.
QStringList textOfLightSurface(const QRect &area);
// Where, in screen coordinates, a line containing the text is shown on the light surface inside
// the area.
std::optional<QRect> findText(const QRect &area, const QString &text);
bool isProgramRunning(const QString &name);

// A scene window (kelo-test-scene) and where it is.
struct Scene
{
    std::unique_ptr<KeloTest::HelperProcess> helper;
    quint64 window = 0;
    QRect geometry;
};
std::optional<Scene> showScene(const QStringList &arguments);

// A system tray on the test's X server (trayer, XEmbed), one icon wide, at the screen's top
// right; the tray icon is the whole of it.
class Tray
{
public:
    Tray();
    ~Tray();
    [[nodiscard]] bool isRunning() const;
    // Clicks the icon, which opens the application's menu.
    bool openMenu();

private:
    QProcess m_process;
};

} // namespace KeloE2E
