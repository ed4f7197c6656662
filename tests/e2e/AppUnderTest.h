// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <optional>

namespace KeloE2E {

// The real kelolens binary, started with a fresh settings, cache and runtime folder of its own,
// so every test begins as a first launch on a new machine. Its log lines are collected while
// the test's event loop turns.
class AppUnderTest
{
public:
    AppUnderTest();
    ~AppUnderTest();
    AppUnderTest(const AppUnderTest &) = delete;
    AppUnderTest &operator=(const AppUnderTest &) = delete;

    // Writes a line into the settings file before the start ("showPanel=false").
    void presetSetting(const QString &line);

    bool start(const QStringList &arguments = {});
    // Starts a second kelolens process with the same folders and waits for it to end; its exit
    // code, or absent when it did not end in time.
    std::optional<int> launchAgain(const QStringList &arguments = {});
    // Waits for the process to end by itself; its exit code, or absent when it did not.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // SIGTERM, then SIGKILL when it does not go.
    void stop();

    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] qint64 processId() const { return m_process.processId(); }
    // The process id of the app's child program of this name (the region tool, "maim"); other
    // programs of the name, of other sessions on the machine, do not count.
    [[nodiscard]] std::optional<qint64> child(const QString &name) const;
    bool waitForLog(const QString &fragment,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10));
    [[nodiscard]] QStringList log() const { return m_log; }

    [[nodiscard]] QString capturesFolder() const;
    [[nodiscard]] QString settingsFile() const;
    [[nodiscard]] QProcessEnvironment environment() const { return m_environment; }
    // For the next start.
    void setEnvironment(const QProcessEnvironment &environment);
    // For the next start: runs on another desktop (a Wayland compositor's session), as a program
    // the user starts there, keeping the app's own settings and cache folders. Qt's platform is
    // the app's own choice there.
    void runOn(const QProcessEnvironment &desktop);
    // Puts a program named maim first on the app's PATH for the next start, standing in for the
    // region tool: a shell script whose $1 is -s and $2 the capture file's path. The real tool
    // is in $KELO_REAL_TOOL.
    void replaceRegionTool(const QString &script);
    // The folder the app's files live in: settings, cache and runtime folders are inside.
    [[nodiscard]] QString home() const { return m_home.path(); }

    static QString binary();

private:
    void collect();

    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    QProcess m_process;
    QStringList m_log;
    QByteArray m_partial;
};

} // namespace KeloE2E
