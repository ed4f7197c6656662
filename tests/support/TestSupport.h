#pragma once

#include <QString>
#include <chrono>
#include <functional>

namespace KeloTest {

// Turns the event loop until the condition holds or the timeout passes; returns the condition.
bool waitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Runs a program to completion and returns its standard output (empty on failure).
QString runProgram(const QString &program, const QStringList &arguments,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace KeloTest
