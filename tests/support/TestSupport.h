// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>

// Failures show strings as text rather than as bytes.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace KeloTest {

// Turns the event loop until the condition holds or the timeout passes; returns the condition.
bool waitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Turns the event loop for this long, for changes that may arrive but must not.
void processEventsFor(std::chrono::milliseconds duration);

// Runs a program to completion while the event loop keeps turning (it may ask this process for
// the clipboard) and returns its standard output (empty on failure).
QString runProgram(const QString &program, const QStringList &arguments,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Writes an executable shell script with this body; whether it could.
bool writeScript(const QString &path, const QString &body);

// Sets (or, with no value, unsets) an environment variable for as long as it lives, then puts the
// previous state back.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const std::optional<QByteArray> &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *m_name;
    std::optional<QByteArray> m_previous;
};

} // namespace KeloTest
