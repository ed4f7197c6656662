// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <chrono>
#include <optional>

namespace KeloTest {

// A helper program whose output lines are collected while the event loop turns, so the test
// process keeps answering the X server (and the clipboard) while it waits. Closing its standard
// input tells the helper to quit; one that does not is killed.
class HelperProcess
{
public:
    explicit HelperProcess(
        const QString &program, const QStringList &arguments = {},
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    // The first line starting with `prefix`, without the prefix; absent when none came in time.
    [[nodiscard]] std::optional<QString>
    waitForLine(const QString &prefix, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    [[nodiscard]] QStringList lines() const { return m_lines; }
    [[nodiscard]] qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
    QStringList m_lines;
};

} // namespace KeloTest
