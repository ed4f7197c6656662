// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

class QProcess;

// Child programs that must not outlive this process or leave helpers of theirs behind.
namespace KeloPlatform::ChildProcess {

// Call before start(): the program runs in a process group of its own (so stopping it reaches
// whatever it starts) and is killed when this process dies, even by a crash.
void confine(QProcess &process);

// Ends a confined program and its group: asks it to end (SIGTERM), forces it (SIGKILL) after the
// grace period, and returns once it has ended. Blocks for at most the grace period plus a moment,
// and works without an event loop (at exit).
void stop(QProcess &process, std::chrono::milliseconds grace);

} // namespace KeloPlatform::ChildProcess
