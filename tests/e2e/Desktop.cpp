// SPDX-License-Identifier: GPL-3.0-or-later
#include "Desktop.h"

#include "KeloLens/Recognition/Recognizer.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>

namespace KeloE2E {
namespace {

using KeloTest::runProgram;
using KeloTest::xdotool;

} // namespace

bool drag(QPoint from, QPoint to)
{
    QStringList steps{
        QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
        QStringLiteral("sleep"),     QStringLiteral("0.2"),     QStringLiteral("mousedown"),
        QStringLiteral("1"),         QStringLiteral("sleep"),   QStringLiteral("0.3")};
    constexpr int count = 25;
    for (int step = 1; step <= count; ++step) {
        const QPoint at = from + (to - from) * step / count;
        steps << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y())
              << QStringLiteral("sleep") << QStringLiteral("0.03");
    }
    steps << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup")
          << QStringLiteral("1");
    return xdotool(steps);
}

bool click(QPoint at, int button)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("click"),
                    QString::number(button)});
}

QString clipboardText()
{
    return KeloTest::readClipboard(QStringLiteral("UTF8_STRING"));
}

QList<quint64> windowsNamed(const QString &title)
{
    QList<quint64> windows;
    const QString found =
        runProgram(QStringLiteral("xdotool"),
                   QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                               QStringLiteral("--name"), QRegularExpression::escape(title)});
    for (const QString &line : found.split(u'\n', Qt::SkipEmptyParts)) {
        windows << line.toULongLong();
    }
    return windows;
}

std::optional<QRect> windowGeometry(quint64 window)
{
    // xwininfo, not xdotool: xdotool counts a window manager's frame into the position twice.
    const QString info =
        runProgram(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    QMap<QString, int> values;
    for (const QString &line : info.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0) {
            values[line.left(colon).trimmed()] = line.mid(colon + 1).trimmed().toInt();
        }
    }
    if (!values.contains(QStringLiteral("Width"))) {
        return std::nullopt;
    }
    return QRect(values[QStringLiteral("Absolute upper-left X")],
                 values[QStringLiteral("Absolute upper-left Y")], values[QStringLiteral("Width")],
                 values[QStringLiteral("Height")]);
}

namespace {

// One warm reader for the whole test program. Never destroyed: its engines would end after
// Tesseract's static dictionary cache, which drops the dictionaries they still hold.
const Recognizer &reader()
{
    static const Recognizer *const instance = new Recognizer;
    return *instance;
}

QStringList readText(const QImage &image)
{
    QStringList lines;
    for (const RecognizedLine &line : reader().recognizeText(image, {QStringLiteral("en-US")})) {
        lines << line.text;
    }
    return lines;
}

QImage grabScreen(const QRect &area)
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    return area.isEmpty() ? image : image.copy(area);
}

} // namespace

QStringList textIn(const QImage &image)
{
    return readText(image);
}

QList<QPair<QString, QRect>> linesIn(const QImage &image)
{
    QList<QPair<QString, QRect>> lines;
    for (const RecognizedLine &line : reader().recognizeText(image, {QStringLiteral("en-US")})) {
        // Boxes are fractions of the image, measured from its bottom-left corner.
        const double top = (1.0 - line.box.maxY()) * image.height();
        lines.append({line.text, QRect(int(line.box.x * image.width()), int(top),
                                       int(line.box.width * image.width()),
                                       int(line.box.height * image.height()))});
    }
    return lines;
}

QStringList textOnScreen(const QRect &area)
{
    return readText(grabScreen(area));
}

namespace {

// The bounding box of the light pixels, in the image's coordinates.
QRect lightSurface(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    QRect light;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            if (row[x] > 200) {
                light |= QRect(x, y, 1, 1);
            }
        }
    }
    return light;
}

} // namespace

QStringList textOfLightSurface(const QRect &area)
{
    const QImage image = grabScreen(area);
    const QRect light = lightSurface(image);
    return light.isEmpty() ? QStringList() : readText(image.copy(light));
}

std::optional<QRect> findText(const QRect &area, const QString &text)
{
    const QImage screen = grabScreen(area);
    const QRect light = lightSurface(screen);
    if (light.isEmpty()) {
        return std::nullopt;
    }
    const QImage image = screen.copy(light);
    for (const RecognizedLine &line : reader().recognizeText(image, {QStringLiteral("en-US")})) {
        if (!line.text.contains(text)) {
            continue;
        }
        // Boxes are fractions of the image, measured from its bottom-left corner.
        const double top = (1.0 - line.box.maxY()) * image.height();
        return QRect(area.x() + light.x() + int(line.box.x * image.width()),
                     area.y() + light.y() + int(top), int(line.box.width * image.width()),
                     int(line.box.height * image.height()));
    }
    return std::nullopt;
}

bool isProgramRunning(const QString &name)
{
    return !runProgram(QStringLiteral("pgrep"), {QStringLiteral("-x"), name}).trimmed().isEmpty();
}

std::optional<Scene> showScene(const QStringList &arguments)
{
    Scene scene;
    scene.helper = std::make_unique<KeloTest::HelperProcess>(
        KeloTest::helperProgram(QStringLiteral("kelo-test-scene")), arguments);
    const std::optional<QString> ready =
        scene.helper->waitForLine(QStringLiteral("ready "), std::chrono::seconds(10));
    if (!ready) {
        return std::nullopt;
    }
    scene.window = ready->section(u' ', 0, 0).toULongLong();
    // Where the window manager put it, frame excluded.
    const std::optional<QRect> geometry = windowGeometry(scene.window);
    if (!geometry) {
        return std::nullopt;
    }
    scene.geometry = *geometry;
    (void)xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                   QString::number(scene.window)});
    return scene;
}

Tray::Tray()
{
    m_process.start(QStringLiteral("trayer"),
                    {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                     QStringLiteral("right"), QStringLiteral("--widthtype"),
                     QStringLiteral("pixel"), QStringLiteral("--width"), QStringLiteral("24"),
                     QStringLiteral("--height"), QStringLiteral("24"),
                     QStringLiteral("--SetDockType"), QStringLiteral("true")});
    m_process.waitForStarted();
    QThread::msleep(500);
}

Tray::~Tray()
{
    m_process.terminate();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool Tray::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

bool Tray::openMenu()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return click({screen.right() - 12, screen.top() + 12});
}

} // namespace KeloE2E
