#include "Desktop.h"

#include "KeloLens/Recognition/Recognizer.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThread>

namespace KeloE2E {
namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    // The test process may own the clipboard or a window another program asks about: keep
    // answering while it runs.
    KeloTest::waitUntil([&] { return process.state() == QProcess::NotRunning; },
                        std::chrono::seconds(10));
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

} // namespace

bool pressKeys(const QStringList &keys)
{
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
                   keys);
}

bool drag(QPoint from, QPoint to)
{
    QStringList steps{QStringLiteral("mousemove"), QString::number(from.x()),
                      QString::number(from.y()),   QStringLiteral("sleep"),
                      QStringLiteral("0.2"),       QStringLiteral("mousedown"),
                      QStringLiteral("1"),         QStringLiteral("sleep"),
                      QStringLiteral("0.3")};
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
    return run(QStringLiteral("xclip"),
               {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
}

QList<quint64> windowsNamed(const QString &title)
{
    QList<quint64> windows;
    const QString found = run(QStringLiteral("xdotool"),
                              {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                               QStringLiteral("--name"), QRegularExpression::escape(title)});
    for (const QString &line : found.split(u'\n', Qt::SkipEmptyParts)) {
        windows << line.toULongLong();
    }
    return windows;
}

std::optional<QRect> windowGeometry(quint64 window)
{
    const QString shell = run(QStringLiteral("xdotool"),
                              {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                               QString::number(window)});
    QMap<QString, int> values;
    for (const QString &line : shell.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList pair = line.split(u'=');
        if (pair.size() == 2) {
            values[pair[0]] = pair[1].toInt();
        }
    }
    if (!values.contains(QStringLiteral("WIDTH"))) {
        return std::nullopt;
    }
    return QRect(values[QStringLiteral("X")], values[QStringLiteral("Y")],
                 values[QStringLiteral("WIDTH")], values[QStringLiteral("HEIGHT")]);
}

QStringList textOnScreen(const QRect &area)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    QImage image = screen->grabWindow(0).toImage();
    if (!area.isEmpty()) {
        image = image.copy(area);
    }
    QStringList lines;
    for (const RecognizedLine &line : Recognizer::recognizeText(image, {QStringLiteral("en-US")})) {
        lines << line.text;
    }
    return lines;
}

bool isProgramRunning(const QString &name)
{
    return QProcess::execute(QStringLiteral("pgrep"), {QStringLiteral("-x"), name}) == 0;
}

Helper::Helper(const QString &program, const QStringList &arguments)
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
        while (m_process.canReadLine()) {
            m_lines << QString::fromUtf8(m_process.readLine()).chopped(1);
        }
    });
    m_process.start(program, arguments);
}

Helper::~Helper()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

std::optional<QString> Helper::waitForLine(const QString &prefix, std::chrono::milliseconds timeout)
{
    std::optional<QString> found;
    KeloTest::waitUntil(
        [&] {
            for (const QString &line : std::as_const(m_lines)) {
                if (line.startsWith(prefix)) {
                    found = line.mid(prefix.size());
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::optional<Scene> showScene(const QStringList &arguments)
{
    Scene scene;
    scene.helper = std::make_unique<Helper>(
        QStringLiteral(KELO_TEST_BINARY_DIR "/tests/e2e/kelo-e2e-scene"), arguments);
    const std::optional<QString> ready = scene.helper->waitForLine(QStringLiteral("ready "));
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
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
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
