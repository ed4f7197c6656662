// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppUnderTest.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <csignal>

namespace KeloE2E {

AppUnderTest::AppUnderTest() : m_environment(QProcessEnvironment::systemEnvironment())
{
    const QDir home(m_home.path());
    for (const char *folder : {"config", "cache", "runtime", "data"}) {
        home.mkpath(QString::fromLatin1(folder));
    }
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment.insert(QStringLiteral("HOME"), home.path());
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                         home.filePath(QStringLiteral("config")));
    m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                         home.filePath(QStringLiteral("runtime")));
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_environment.remove(QStringLiteral("KELOLENS_PLATFORM"));
    // The launch's debug line says when the app is ready.
    m_environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                         QStringLiteral("kelolens.app.debug=true"));
    m_process.setProcessEnvironment(m_environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, [this] { collect(); });
}

AppUnderTest::~AppUnderTest()
{
    stop();
}

QString AppUnderTest::binary()
{
    return QStringLiteral(KELO_TEST_BINARY_DIR "/app/kelolens");
}

void AppUnderTest::setEnvironment(const QProcessEnvironment &environment)
{
    m_environment = environment;
    m_process.setProcessEnvironment(m_environment);
}

void AppUnderTest::runOn(const QProcessEnvironment &desktop)
{
    QProcessEnvironment environment = desktop;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        environment.insert(QString::fromLatin1(name),
                           m_environment.value(QString::fromLatin1(name)));
    }
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("KELOLENS_PLATFORM"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("kelolens.app.debug=true;kelolens.platform*.info=true"));
    setEnvironment(environment);
}

void AppUnderTest::replaceRegionTool(const QString &script)
{
    const QDir tools(m_home.filePath(QStringLiteral("tools")));
    tools.mkpath(QStringLiteral("."));
    KeloTest::writeScript(tools.filePath(QStringLiteral("maim")), script);
    QProcessEnvironment environment = m_environment;
    environment.insert(QStringLiteral("KELO_REAL_TOOL"),
                       QStandardPaths::findExecutable(QStringLiteral("maim")));
    environment.insert(QStringLiteral("PATH"),
                       tools.path() + u':' + m_environment.value(QStringLiteral("PATH")));
    setEnvironment(environment);
}

void AppUnderTest::presetSetting(const QString &line)
{
    const QString path = settingsFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    const bool isNew = !file.exists();
    if (file.open(QIODevice::Append)) {
        if (isNew) {
            file.write("[General]\n");
        }
        file.write(line.toUtf8() + '\n');
    }
}

bool AppUnderTest::start(const QStringList &arguments)
{
    m_process.start(binary(), arguments);
    return m_process.waitForStarted(5000);
}

std::optional<int> AppUnderTest::launchAgain(const QStringList &arguments)
{
    QProcess second;
    second.setProcessEnvironment(m_environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(binary(), arguments);
    if (!KeloTest::waitUntil([&] { return second.state() == QProcess::NotRunning; },
                             std::chrono::seconds(10))) {
        second.kill();
        second.waitForFinished();
        return std::nullopt;
    }
    m_log += QString::fromUtf8(second.readAll()).split(u'\n', Qt::SkipEmptyParts);
    return second.exitCode();
}

std::optional<int> AppUnderTest::waitForExit(std::chrono::milliseconds timeout)
{
    if (!KeloTest::waitUntil([this] { return m_process.state() == QProcess::NotRunning; },
                             timeout)) {
        return std::nullopt;
    }
    collect();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

void AppUnderTest::stop()
{
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!waitForExit(std::chrono::seconds(5))) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

std::optional<qint64> AppUnderTest::child(const QString &name) const
{
    if (!isRunning()) {
        return std::nullopt;
    }
    const QString found = KeloTest::runProgram(
        QStringLiteral("pgrep"),
        {QStringLiteral("-P"), QString::number(processId()), QStringLiteral("-x"), name});
    const qint64 pid = found.section(u'\n', 0, 0).toLongLong();
    return pid > 0 ? std::optional(pid) : std::nullopt;
}

bool AppUnderTest::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

bool AppUnderTest::waitForLog(const QString &fragment, std::chrono::milliseconds timeout)
{
    return KeloTest::waitUntil(
        [&] {
            for (const QString &line : std::as_const(m_log)) {
                if (line.contains(fragment)) {
                    return true;
                }
            }
            return false;
        },
        timeout);
}

QString AppUnderTest::capturesFolder() const
{
    return QDir(m_environment.value(QStringLiteral("XDG_CACHE_HOME")))
        .filePath(QStringLiteral("app.kelolens.KeloLens/captures"));
}

QString AppUnderTest::settingsFile() const
{
    return QDir(m_environment.value(QStringLiteral("XDG_CONFIG_HOME")))
        .filePath(QStringLiteral("KeloLens/KeloLens.conf"));
}

void AppUnderTest::collect()
{
    m_partial += m_process.readAll();
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_log << QString::fromUtf8(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
}

} // namespace KeloE2E
