#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// What a user does and sees on the test's X server: keys and drags through xdotool, the
// clipboard through xclip, windows through xdotool's search, and the text on screen read back
// with our own recognizer from a screen grab.
namespace KeloE2E {

bool pressKeys(const QStringList &keys);
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
bool isProgramRunning(const QString &name);

// A helper program whose standard output lines are collected while the event loop turns.
class Helper
{
public:
    Helper(const QString &program, const QStringList &arguments);
    ~Helper();
    Helper(const Helper &) = delete;
    Helper &operator=(const Helper &) = delete;

    // The first line starting with the prefix, without it.
    std::optional<QString> waitForLine(const QString &prefix,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    QProcess m_process;
    QStringList m_lines;
};

// A scene window (kelo-e2e-scene) and where it is.
struct Scene
{
    std::unique_ptr<Helper> helper;
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
